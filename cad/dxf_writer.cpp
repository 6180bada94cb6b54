#include "cad/dxf_writer.h"

#include "cad/dxf_reader.h"
#include "cad/dxf_text.h"
#include "fileio/atomic_file.h"
#include "i18n/interface_text.h"

#include <QFile>

#include <dxflib/dl_dxf.h>
#include <dxflib/dl_writer_ascii.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace keldarn::cad {

namespace {

// The text of the file gathered into pieces of about kPieceBytes, each passed on as soon as
// it is full: the writer's memory is one piece, whatever the size of the drawing.
class PieceBuffer {
public:
    static constexpr std::size_t kPieceBytes = 64 * 1024;

    explicit PieceBuffer(const DxfPieceWriter& write) : write_(write) { text_.reserve(kPieceBytes + 1024); }

    void Append(std::string_view bytes)
    {
        text_.append(bytes);
        if (text_.size() >= kPieceBytes)
            Flush();
    }
    void Append(char ch)
    {
        text_.push_back(ch);
        if (text_.size() >= kPieceBytes)
            Flush();
    }

    void Flush()
    {
        if (!text_.empty())
            write_(text_);
        text_.clear();
    }

private:
    const DxfPieceWriter& write_;
    std::string text_;
};

// dxflib's entity and table writers over our own output, numbers in their shortest exact
// form (dxflib's own writer prints 16 fixed decimals and flushes the file after every
// number). With no output it only counts handles.
class DxfTextWriter : public DL_WriterA {
public:
    // The base class's own file stays unopened (empty name): every output primitive is
    // replaced here.
    explicit DxfTextWriter(PieceBuffer* out) : DL_WriterA("", DL_Codes::AC1015), out_(out) {}

    void dxfReal(int gc, double value) const override
    {
        char text[400];
        const char* end = text;
        if (std::isfinite(value))
            end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr;
        std::string_view digits(text, static_cast<std::size_t>(end - text));
        if (digits.empty()) {
            Pair(gc, "0.0");
        } else if (digits.find('.') == std::string_view::npos) {
            Pair(gc, std::string(digits) + ".0");
        } else {
            Pair(gc, digits);
        }
    }

    void dxfInt(int gc, int value) const override { Pair(gc, std::to_string(value)); }

    void dxfHex(int gc, int value) const override
    {
        char text[16];
        std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
        Pair(gc, text);
    }

    void dxfString(int gc, const char* value) const override { Pair(gc, value ? value : ""); }
    void dxfString(int gc, const std::string& value) const override { Pair(gc, value); }

    // A new handle, not written: for an object referred to before it is written.
    int ReserveHandle()
    {
        muted_ = true;
        const auto reserved = handle();
        muted_ = false;
        return static_cast<int>(reserved);
    }

private:
    // Group codes right-aligned in three columns, as AutoCAD writes them.
    void Pair(int gc, std::string_view value) const
    {
        if (!out_ || muted_)
            return;
        if (gc < 10)
            out_->Append("  ");
        else if (gc < 100)
            out_->Append(' ');
        out_->Append(std::to_string(gc));
        out_->Append('\n');
        out_->Append(value);
        out_->Append('\n');
    }

    PieceBuffer* out_;
    bool muted_ = false;
};

bool IsBuiltInLinetype(std::string_view name)
{
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return upper == "BYBLOCK" || upper == "BYLAYER" || upper == "CONTINUOUS";
}

void WriteVector(DxfTextWriter& dw, const char* name, double x, double y, double z)
{
    dw.dxfString(9, name);
    dw.coord(10, x, y, z);
}

void WriteHeader(DxfTextWriter& dw, const DrawingModel& model, unsigned long handleSeed)
{
    const DrawingBox& extents = model.Extents();
    dw.sectionHeader();
    dw.dxfString(9, "$ACADVER");
    dw.dxfString(1, "AC1015");
    // Texts and names are GBK bytes, with \U+ escapes for characters GBK lacks.
    dw.dxfString(9, "$DWGCODEPAGE");
    dw.dxfString(3, "ANSI_936");
    WriteVector(dw, "$INSBASE", 0.0, 0.0, 0.0);
    if (extents.IsEmpty()) {
        WriteVector(dw, "$EXTMIN", 1e20, 1e20, 1e20);
        WriteVector(dw, "$EXTMAX", -1e20, -1e20, -1e20);
    } else {
        WriteVector(dw, "$EXTMIN", extents.minX, extents.minY, 0.0);
        WriteVector(dw, "$EXTMAX", extents.maxX, extents.maxY, 0.0);
    }
    dw.dxfString(9, "$LTSCALE");
    dw.dxfReal(40, model.LtScale());
    dw.dxfString(9, "$INSUNITS");
    dw.dxfInt(70, 6);  // metres
    dw.dxfString(9, "$MEASUREMENT");
    dw.dxfInt(70, 1);  // metric
    dw.dxfString(9, "$HANDSEED");
    dw.dxfHex(5, static_cast<int>(handleSeed));
    dw.sectionEnd();
}

// The *Active viewport looks at the drawing's extents, so that a CAD program opens the
// file showing the drawing.
void WriteViewport(DxfTextWriter& dw, const DrawingModel& model)
{
    constexpr double kAspect = 1.5;
    const DrawingBox& extents = model.Extents();
    double cx = 0.0, cy = 0.0, heightM = 100.0;
    if (!extents.IsEmpty()) {
        cx = (extents.minX + extents.maxX) / 2;
        cy = (extents.minY + extents.maxY) / 2;
        heightM = std::max({extents.maxY - extents.minY, (extents.maxX - extents.minX) / kAspect, 1.0}) * 1.1;
    }
    // Group codes and values of dxflib's own viewport; view centre (12, 22) and height (40)
    // set to the drawing.
    const std::pair<int, double> reals[] = {{10, 0.0},  {20, 0.0},  {11, 1.0}, {21, 1.0},     {12, cx},
                                            {22, cy},   {13, 0.0},  {23, 0.0}, {14, 10.0},    {24, 10.0},
                                            {15, 10.0}, {25, 10.0}, {16, 0.0}, {26, 0.0},     {36, 1.0},
                                            {17, 0.0},  {27, 0.0},  {37, 0.0}, {40, heightM}, {41, kAspect},
                                            {42, 50.0}, {43, 0.0},  {44, 0.0}, {50, 0.0},     {51, 0.0}};
    const std::pair<int, int> ints[] = {{71, 0}, {72, 100}, {73, 1}, {74, 3},  {75, 0},
                                        {76, 0}, {77, 0},   {78, 0}, {281, 0}, {65, 1}};
    dw.table("VPORT", 1, 8);
    dw.dxfString(0, "VPORT");
    dw.handle();
    dw.subClass("AcDbSymbolTableRecord");
    dw.subClass("AcDbViewportTableRecord");
    dw.dxfString(2, "*Active");
    dw.dxfInt(70, 0);
    for (const auto& [code, value] : reals)
        dw.dxfReal(code, value);
    for (const auto& [code, value] : ints)
        dw.dxfInt(code, value);
    dw.coord(110, 0.0, 0.0, 0.0);
    dw.coord(111, 1.0, 0.0, 0.0);
    dw.coord(112, 0.0, 1.0, 0.0);
    dw.dxfInt(79, 0);
    dw.dxfReal(146, 0.0);
    dw.tableEnd();
}

void WriteLinetypes(DL_Dxf& dxf, DxfTextWriter& dw, const DrawingModel& model)
{
    std::vector<const LinetypeRecord*> own;
    for (const LinetypeRecord& linetype : model.Linetypes()) {
        if (!IsBuiltInLinetype(linetype.name) && !linetype.name.empty())
            own.push_back(&linetype);
    }
    dw.tableLinetypes(static_cast<int>(3 + own.size()));
    dxf.writeLinetype(dw, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
    for (const LinetypeRecord* linetype : own) {
        std::vector<double> dashes = linetype->dashesM;
        dxf.writeLinetype(dw,
                          DL_LinetypeData(EncodeDxfName(linetype->name), EncodeDxfName(linetype->description),
                                          linetype->flags, static_cast<int>(dashes.size()),
                                          linetype->patternLengthM, dashes.data()));
    }
    dw.tableEnd();
}

// Layers of the table, then any layer an entity names that the table lacks.
std::vector<LayerRecord> LayersToWrite(const DrawingModel& model)
{
    std::vector<LayerRecord> layers = model.Layers();
    for (const EntityStyle& style : model.Styles()) {
        const bool known = std::any_of(layers.begin(), layers.end(),
                                       [&](const LayerRecord& layer) { return layer.name == style.layer; });
        if (!known && !style.layer.empty())
            layers.push_back(LayerRecord{style.layer});
    }
    return layers;
}

void WriteLayers(DL_Dxf& dxf, DxfTextWriter& dw, const DrawingModel& model)
{
    const std::vector<LayerRecord> layers = LayersToWrite(model);
    dw.tableLayers(static_cast<int>(layers.size()));
    for (const LayerRecord& layer : layers) {
        const int color = std::abs(layer.color) % 256 == 0 ? 7 : std::abs(layer.color);
        dxf.writeLayer(dw, DL_LayerData(EncodeDxfName(layer.name), layer.flags, layer.color < 0),
                       DL_Attributes("", color, layer.color24, layer.lineWeight,
                                     layer.linetype.empty() ? "CONTINUOUS" : EncodeDxfName(layer.linetype)));
    }
    dw.tableEnd();
}

// Text styles as AutoCAD writes them: font file (3) and big font file (4) by name. (dxflib's
// own style writer puts the font into extended data as a TrueType family.) Returns the
// handle of "Standard", which the dimension style refers to.
unsigned long WriteTextStyles(DxfTextWriter& dw, const DrawingModel& model)
{
    unsigned long standardHandle = 0;
    dw.tableStyle(static_cast<int>(model.TextStyles().size()));
    for (const TextStyleRecord& style : model.TextStyles()) {
        dw.dxfString(0, "STYLE");
        const unsigned long handle = dw.handle();
        if (standardHandle == 0)
            standardHandle = handle;  // entry 0 is always "Standard"
        dw.subClass("AcDbSymbolTableRecord");
        dw.subClass("AcDbTextStyleTableRecord");
        dw.dxfString(2, EncodeDxfName(style.name));
        dw.dxfInt(70, style.flags);
        dw.dxfReal(40, style.fixedHeightM);
        dw.dxfReal(41, style.widthFactor);
        dw.dxfReal(50, style.obliqueAngleDeg);
        dw.dxfInt(71, style.generationFlags);
        dw.dxfReal(42, style.lastHeightM);
        dw.dxfString(3, EncodeDxfName(style.fontFile));
        dw.dxfString(4, EncodeDxfName(style.bigFontFile));
    }
    dw.tableEnd();
    return standardHandle;
}

// The "Standard" dimension style every R2000 drawing carries, as dxflib writes it but
// pointing at our own "Standard" text style.
void WriteDimensionStyle(DxfTextWriter& dw, unsigned long textStyleHandle)
{
    dw.dxfString(0, "TABLE");
    dw.dxfString(2, "DIMSTYLE");
    dw.dxfHex(5, 0xA);
    dw.subClass("AcDbSymbolTable");
    dw.dxfInt(70, 1);
    dw.subClass("AcDbDimStyleTable");
    dw.dxfInt(71, 0);
    dw.dxfString(0, "DIMSTYLE");
    dw.dxfHex(105, 0x27);
    dw.subClass("AcDbSymbolTableRecord");
    dw.subClass("AcDbDimStyleTableRecord");
    dw.dxfString(2, "Standard");
    const std::pair<int, double> reals[] = {
        {41, 2.5},   {42, 0.625}, {43, 3.75}, {44, 0.625}, {140, 2.5}, {141, 2.5}, {143, 0.03937007874016},
        {147, 0.625}};
    const std::pair<int, int> ints[] = {{70, 0},  {73, 0},  {74, 0},  {77, 1},   {78, 8},  {171, 3}, {172, 1},
                                        {271, 2}, {272, 2}, {274, 3}, {278, 44}, {283, 0}, {284, 8}};
    for (const auto& [code, value] : reals)
        dw.dxfReal(code, value);
    for (const auto& [code, value] : ints)
        dw.dxfInt(code, value);
    dw.dxfHex(340, static_cast<int>(textStyleHandle));
    dw.tableEnd();
}

void WriteTablesAndBlocks(DL_Dxf& dxf, DxfTextWriter& dw, const DrawingModel& model)
{
    dw.sectionTables();
    WriteViewport(dw, model);
    WriteLinetypes(dxf, dw, model);
    WriteLayers(dxf, dw, model);
    const unsigned long standardHandle = WriteTextStyles(dw, model);
    dxf.writeView(dw);
    dxf.writeUcs(dw);
    dw.tableAppid(1);
    dxf.writeAppid(dw, "ACAD");
    dw.tableEnd();
    WriteDimensionStyle(dw, standardHandle);
    dxf.writeBlockRecord(dw);
    dw.tableEnd();
    dw.sectionEnd();

    dw.sectionBlocks();
    for (const char* name : {"*Model_Space", "*Paper_Space", "*Paper_Space0"}) {
        dxf.writeBlock(dw, DL_BlockData(name, 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(dw, name);
    }
    dw.sectionEnd();
}

std::vector<DL_Attributes> AttributesOf(const DrawingModel& model)
{
    std::vector<DL_Attributes> attributes;
    for (const EntityStyle& style : model.Styles()) {
        DL_Attributes a(EncodeDxfName(style.layer.empty() ? "0" : style.layer), style.color, style.color24,
                        style.lineWeight, EncodeDxfName(style.linetype));
        a.setLinetypeScale(style.linetypeScale);
        attributes.push_back(a);
    }
    return attributes;
}

// dxflib writes no elevation; group 38 follows its 90 and 70, before the vertices, as in
// AutoCAD's files. A polyline at elevation 0 is written without it, as before.
void WriteLwPolyline(DL_Dxf& dxf, DxfTextWriter& dw, std::span<const double> xy,
                     std::span<const double> bulges, bool closed, double elevation,
                     const DL_Attributes& attributes)
{
    const std::size_t n = xy.size() / 2;
    dxf.writePolyline(dw, DL_PolylineData(static_cast<int>(n), 0, 0, closed ? 1 : 0), attributes);
    if (elevation != 0.0)
        dw.dxfReal(38, elevation);
    for (std::size_t i = 0; i < n; ++i)
        dxf.writeVertex(dw,
                        DL_VertexData(xy[2 * i], xy[2 * i + 1], 0.0, i < bulges.size() ? bulges[i] : 0.0));
    dxf.writePolylineEnd(dw);
}

void WriteOther(DL_Dxf& dxf, DxfTextWriter& dw, const DrawingModel& model, const DrawingOther& other,
                const DL_Attributes& attributes)
{
    const auto& p = other.p;
    switch (other.kind) {
    case OtherKind::Line:
        dxf.writeLine(dw, DL_LineData(p[0], p[1], p[2], p[3], p[4], p[5]), attributes);
        break;
    case OtherKind::Circle:
        dxf.writeCircle(dw, DL_CircleData(p[0], p[1], p[2], p[3]), attributes);
        break;
    case OtherKind::Arc:
        dxf.writeArc(dw, DL_ArcData(p[0], p[1], p[2], p[3], p[4], p[5]), attributes);
        break;
    case OtherKind::Ellipse:
        dxf.writeEllipse(dw, DL_EllipseData(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8]),
                         attributes);
        break;
    case OtherKind::Polyline2d:
        WriteLwPolyline(dxf, dw, model.VerticesOf(other), model.BulgesOf(other), other.closed, p[0],
                        attributes);
        break;
    }
}

void WriteText(DL_Dxf& dxf, DxfTextWriter& dw, const DrawingModel& model, const DrawingText& text,
               const DL_Attributes& attributes)
{
    const std::string& styleName = model.TextStyles()[text.textStyle].name;
    dxf.writeText(dw,
                  DL_TextData(text.x, text.y, text.z, text.alignX, text.alignY, text.alignZ, text.heightM,
                              text.widthFactor, text.generationFlags, text.hJust, text.vJust,
                              EncodeDxfTextToFit(model.TextOf(text)), EncodeDxfName(styleName),
                              text.rotationRad),
                  attributes);
}

// Others first, texts last: CAD programs draw in file order, so texts stay on top.
void WriteEntities(DL_Dxf& dxf, DxfTextWriter& dw, const DrawingModel& model)
{
    const std::vector<DL_Attributes> attributes = AttributesOf(model);
    dw.sectionEntities();
    for (const DrawingOther& other : model.Others())
        WriteOther(dxf, dw, model, other, attributes[other.style]);
    for (const DrawingPolyline& polyline : model.Polylines())
        WriteLwPolyline(dxf, dw, model.VerticesOf(polyline), model.BulgesOf(polyline), polyline.closed,
                        polyline.elevation, attributes[polyline.style]);
    for (const DrawingPoint& point : model.Points())
        dxf.writePoint(dw, DL_PointData(point.x, point.y, point.z), attributes[point.style]);
    for (const DrawingText& text : model.Texts())
        WriteText(dxf, dw, model, text, attributes[text.style]);
    dw.sectionEnd();
}

// A layout of the OBJECTS section (plot settings of no device), as dxflib writes it.
void WriteLayout(DxfTextWriter& dw, int handle, const char* name, int tabOrder, int blockRecord)
{
    const bool model = tabOrder == 0;
    dw.dxfString(0, "LAYOUT");
    dw.dxfHex(5, handle);
    dw.dxfHex(330, 0x1A);
    dw.subClass("AcDbPlotSettings");
    dw.dxfString(1, "");
    dw.dxfString(2, "none_device");
    dw.dxfString(4, "");
    dw.dxfString(6, "");
    for (int code = 40; code <= 49; ++code)
        dw.dxfReal(code, 0.0);
    dw.dxfReal(140, 0.0);
    dw.dxfReal(141, 0.0);
    dw.dxfReal(142, 1.0);
    dw.dxfReal(143, 1.0);
    dw.dxfInt(70, model ? 1712 : 688);
    dw.dxfInt(72, 0);
    dw.dxfInt(73, 0);
    dw.dxfInt(74, model ? 0 : 5);
    dw.dxfString(7, "");
    dw.dxfInt(75, model ? 0 : 16);
    dw.dxfReal(147, 1.0);
    dw.dxfReal(148, 0.0);
    dw.dxfReal(149, 0.0);
    dw.subClass("AcDbLayout");
    dw.dxfString(1, name);
    dw.dxfInt(70, 1);
    dw.dxfInt(71, tabOrder);
    dw.dxfReal(10, 0.0);
    dw.dxfReal(20, 0.0);
    dw.dxfReal(11, tabOrder == 1 ? 420.0 : 12.0);
    dw.dxfReal(21, tabOrder == 1 ? 297.0 : 9.0);
    dw.coord(12, 0.0, 0.0, 0.0);
    const double extent = tabOrder == 1 ? 1e20 : 0.0;
    dw.coord(14, extent, extent, extent);
    dw.coord(15, -extent, -extent, -extent);
    dw.dxfReal(146, 0.0);
    dw.coord(13, 0.0, 0.0, 0.0);
    dw.coord(16, 1.0, 0.0, 0.0);
    dw.coord(17, 0.0, 1.0, 0.0);
    dw.dxfInt(76, 0);
    dw.dxfHex(330, blockRecord);
}

void WriteDictionaryHead(DxfTextWriter& dw, const char* type, int handle, int owner)
{
    dw.dxfString(0, type);
    dw.dxfHex(5, handle);
    dw.dxfHex(330, owner);
    dw.subClass("AcDbDictionary");
}

// The objects every R2000 drawing holds, with the handles dxflib uses for them and its
// block records refer to, each naming its owner (dxflib's own objects section leaves
// the owners out, which readers then repair).
void WriteObjects(DxfTextWriter& dw)
{
    const int variables = dw.ReserveHandle();
    const int hideText = dw.ReserveHandle();
    const int dimAssoc = dw.ReserveHandle();
    dw.sectionObjects();
    WriteDictionaryHead(dw, "DICTIONARY", 0xC, 0);
    dw.dxfInt(280, 0);
    dw.dxfInt(281, 1);
    const std::pair<const char*, int> entries[] = {
        {"ACAD_GROUP", 0xD},         {"ACAD_LAYOUT", 0x1A},       {"ACAD_MLINESTYLE", 0x17},
        {"ACAD_PLOTSETTINGS", 0x19}, {"ACAD_PLOTSTYLENAME", 0xE}, {"AcDbVariableDictionary", variables}};
    for (const auto& [name, handle] : entries) {
        dw.dxfString(3, name);
        dw.dxfHex(350, handle);
    }
    WriteDictionaryHead(dw, "DICTIONARY", 0xD, 0xC);
    dw.dxfInt(280, 0);
    dw.dxfInt(281, 1);
    WriteDictionaryHead(dw, "ACDBDICTIONARYWDFLT", 0xE, 0xC);
    dw.dxfInt(281, 1);
    dw.dxfString(3, "Normal");
    dw.dxfHex(350, 0xF);
    dw.subClass("AcDbDictionaryWithDefault");
    dw.dxfHex(340, 0xF);
    dw.dxfString(0, "ACDBPLACEHOLDER");
    dw.dxfHex(5, 0xF);
    dw.dxfHex(330, 0xE);
    WriteDictionaryHead(dw, "DICTIONARY", 0x17, 0xC);
    dw.dxfInt(280, 0);
    dw.dxfInt(281, 1);
    dw.dxfString(3, "Standard");
    dw.dxfHex(350, 0x18);
    dw.dxfString(0, "MLINESTYLE");
    dw.dxfHex(5, 0x18);
    dw.dxfHex(330, 0x17);
    dw.subClass("AcDbMlineStyle");
    dw.dxfString(2, "STANDARD");
    dw.dxfInt(70, 0);
    dw.dxfString(3, "");
    dw.dxfInt(62, 256);
    dw.dxfReal(51, 90.0);
    dw.dxfReal(52, 90.0);
    dw.dxfInt(71, 2);
    for (const double offset : {0.5, -0.5}) {
        dw.dxfReal(49, offset);
        dw.dxfInt(62, 256);
        dw.dxfString(6, "BYLAYER");
    }
    WriteDictionaryHead(dw, "DICTIONARY", 0x19, 0xC);
    dw.dxfInt(280, 0);
    dw.dxfInt(281, 1);
    WriteDictionaryHead(dw, "DICTIONARY", 0x1A, 0xC);
    dw.dxfInt(281, 1);
    dw.dxfString(3, "Layout1");
    dw.dxfHex(350, 0x1E);
    dw.dxfString(3, "Layout2");
    dw.dxfHex(350, 0x26);
    dw.dxfString(3, "Model");
    dw.dxfHex(350, 0x22);
    WriteLayout(dw, 0x1E, "Layout1", 1, 0x1B);
    WriteLayout(dw, 0x22, "Model", 0, 0x1F);
    WriteLayout(dw, 0x26, "Layout2", 2, 0x23);
    WriteDictionaryHead(dw, "DICTIONARY", variables, 0xC);
    dw.dxfInt(281, 1);
    dw.dxfString(3, "DIMASSOC");
    dw.dxfHex(350, dimAssoc);
    dw.dxfString(3, "HIDETEXT");
    dw.dxfHex(350, hideText);
    for (const auto& [handle, value] : {std::pair{hideText, "2"}, std::pair{dimAssoc, "1"}}) {
        dw.dxfString(0, "DICTIONARYVAR");
        dw.dxfHex(5, handle);
        dw.dxfHex(330, variables);
        dw.subClass("DictionaryVariables");
        dw.dxfInt(280, 0);
        dw.dxfString(1, value);
    }
    dw.sectionEnd();
}

// Every handle the file will use, found by writing everything but the entities without
// output; each entity takes exactly one handle.
unsigned long HandleSeed(const DrawingModel& model)
{
    DL_Dxf dxf;
    DxfTextWriter counter(nullptr);
    WriteTablesAndBlocks(dxf, counter, model);
    WriteObjects(counter);
    return counter.getNextHandle() + model.EntityCount();
}

}  // namespace

void WriteDxf(const DrawingModel& model, const DxfPieceWriter& write)
{
    const unsigned long handleSeed = HandleSeed(model);
    PieceBuffer out(write);
    DL_Dxf dxf;
    DxfTextWriter dw(&out);
    WriteHeader(dw, model, handleSeed);
    WriteTablesAndBlocks(dxf, dw, model);
    WriteEntities(dxf, dw, model);
    WriteObjects(dw);
    dw.dxfEOF();
    if (dw.getNextHandle() != handleSeed)
        throw std::logic_error("DXF handle count differs from the handle seed written");
    out.Flush();
}

std::string DxfBytes(const DrawingModel& model)
{
    std::string bytes;
    WriteDxf(model, [&bytes](std::string_view piece) { bytes.append(piece); });
    return bytes;
}

void SaveDxfFile(const DrawingModel& model, const QString& path)
{
    try {
        fileio::AtomicFile file(QFile::encodeName(path).toStdString());
        WriteDxf(model, [&file](std::string_view piece) { file.Write(piece); });
        file.Commit();
    } catch (const fileio::FileWriteError& error) {
        throw DxfError(error.what());
    } catch (const std::bad_alloc&) {
        throw DxfError(
            i18n::Format(i18n::Translate("cad", "无法保存DXF文件“%1”：内存不足。"), {path.toStdString()}));
    }
}

std::vector<std::string> UnsavedContentLines(const DrawingModel& model)
{
    std::vector<std::string> lines;
    // The kinds are noted untranslated (see EntityLabel in dxf_reader.cpp) and shown translated.
    for (const auto& [what, count] : model.Unsaved()) {
        lines.push_back(i18n::Format(i18n::Translate("cad", "%1：%2 个"),
                                     {i18n::Translate("cad", what.c_str()), std::to_string(count)}));
    }
    const auto tooLong =
        std::count_if(model.Texts().begin(), model.Texts().end(),
                      [&](const DrawingText& text) { return !DxfTextFits(model.TextOf(text)); });
    if (tooLong > 0)
        lines.push_back(i18n::Format(i18n::Translate("cad", "超长文字（保存时截断为前 %1 字节）：%2 个"),
                                     {std::to_string(kMaxDxfValueBytes), std::to_string(tooLong)}));
    return lines;
}

}  // namespace keldarn::cad
