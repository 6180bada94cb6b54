#include "cad/dxf_reader.h"

#include "cad/dxf_text.h"
#include "i18n/interface_text.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <istream>
#include <limits>
#include <map>
#include <memory>
#include <numbers>
#include <streambuf>
#include <tuple>

namespace keldarn::cad {

namespace {

// A "line" this long without a line break means the file is not DXF text.
constexpr std::size_t kMaxLineBytes = 1 << 16;
constexpr std::size_t kReadBlockBytes = 1 << 20;
constexpr std::size_t kFilteredBlockBytes = 1 << 18;
// The least text a lightweight polyline's vertex takes: its groups 10 and 20, each a code
// line and a value line ("10\n1\n20\n2\n").
constexpr long long kMinVertexBytes = 10;
// dxflib keeps a lightweight polyline's vertices in an array of 4 × count doubles sized in
// an int; beyond this count the size overflows.
constexpr long long kMaxLwVertices = std::numeric_limits<int>::max() / 4;

class FileProblem : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Quoted(std::string_view text)
{
    std::string shown(text.substr(0, 40));
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            c = '?';
    }
    return "“" + shown + (text.size() > 40 ? "…" : "") + "”";
}

// Lines of a file read in blocks; a line ends at LF, a CR before it is dropped.
class LineReader {
public:
    explicit LineReader(QIODevice& device) : device_(device) {}

    // The next line, valid until the next call; false at the end of the file.
    bool Next(std::string_view& line)
    {
        for (;;) {
            const std::size_t lf = data_.find('\n', position_);
            if (lf != std::string::npos)
                return Take(lf, lf + 1, line);
            if (data_.size() - position_ > kMaxLineBytes)
                throw FileProblem(i18n::Format(i18n::Translate("cad", "第 %1 行过长，这不是DXF文本文件。"),
                                               {std::to_string(number_ + 1)}));
            if (atEnd_) {
                if (position_ >= data_.size())
                    return false;
                return Take(data_.size(), data_.size(), line);
            }
            ReadBlock();
        }
    }

    long long Number() const { return number_; }
    // Bytes of the lines returned so far, line breaks included.
    long long Offset() const { return offset_; }

private:
    bool Take(std::size_t end, std::size_t next, std::string_view& line)
    {
        line = std::string_view(data_).substr(position_, end - position_);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        offset_ += static_cast<long long>(next - position_);
        position_ = next;
        ++number_;
        return true;
    }

    void ReadBlock()
    {
        data_.erase(0, position_);
        position_ = 0;
        const std::size_t kept = data_.size();
        data_.resize(kept + kReadBlockBytes);
        const qint64 read = device_.read(data_.data() + kept, static_cast<qint64>(kReadBlockBytes));
        if (read < 0)
            throw FileProblem(
                i18n::Format(i18n::Translate("cad", "读取失败：%1"), {device_.errorString().toStdString()}));
        data_.resize(kept + static_cast<std::size_t>(read));
        atEnd_ = read == 0;
    }

    QIODevice& device_;
    std::string data_;
    std::size_t position_ = 0;
    bool atEnd_ = false;
    long long number_ = 0;
    long long offset_ = 0;
};

enum class Section { None, Header, Tables, Blocks, Entities, Other };

Section SectionNamed(std::string_view name)
{
    if (name == "HEADER")
        return Section::Header;
    if (name == "TABLES")
        return Section::Tables;
    if (name == "BLOCKS")
        return Section::Blocks;
    if (name == "ENTITIES")
        return Section::Entities;
    return Section::Other;
}

// How the user is told about entities a save cannot keep. The labels are the keys of the
// drawing's Unsaved() list; UnsavedContentLines() translates them when it shows them.
std::string EntityLabel(std::string_view type)
{
    static const std::map<std::string_view, const char*> kLabels = {
        {"INSERT", QT_TRANSLATE_NOOP("cad", "块参照 (INSERT)")},
        {"MTEXT", QT_TRANSLATE_NOOP("cad", "多行文字 (MTEXT)")},
        {"DIMENSION", QT_TRANSLATE_NOOP("cad", "尺寸标注 (DIMENSION)")},
        {"HATCH", QT_TRANSLATE_NOOP("cad", "图案填充 (HATCH)")},
        {"SPLINE", QT_TRANSLATE_NOOP("cad", "样条曲线 (SPLINE)")},
        {"ATTRIB", QT_TRANSLATE_NOOP("cad", "块属性 (ATTRIB)")},
        {"ATTDEF", QT_TRANSLATE_NOOP("cad", "属性定义 (ATTDEF)")},
        {"SOLID", QT_TRANSLATE_NOOP("cad", "二维填充 (SOLID)")},
        {"3DFACE", QT_TRANSLATE_NOOP("cad", "三维面 (3DFACE)")},
        {"LEADER", QT_TRANSLATE_NOOP("cad", "引线 (LEADER)")},
        {"MLINE", QT_TRANSLATE_NOOP("cad", "多线 (MLINE)")},
        {"IMAGE", QT_TRANSLATE_NOOP("cad", "光栅图像 (IMAGE)")},
        {"XLINE", QT_TRANSLATE_NOOP("cad", "构造线 (XLINE)")},
        {"RAY", QT_TRANSLATE_NOOP("cad", "射线 (RAY)")},
        {"TRACE", QT_TRANSLATE_NOOP("cad", "宽线 (TRACE)")},
        {"REGION", QT_TRANSLATE_NOOP("cad", "面域 (REGION)")},
        {"3DSOLID", QT_TRANSLATE_NOOP("cad", "三维实体 (3DSOLID)")},
        {"MULTILEADER", QT_TRANSLATE_NOOP("cad", "多重引线 (MULTILEADER)")},
        {"WIPEOUT", QT_TRANSLATE_NOOP("cad", "区域覆盖 (WIPEOUT)")},
        {"TOLERANCE", QT_TRANSLATE_NOOP("cad", "形位公差 (TOLERANCE)")},
        {"SHAPE", QT_TRANSLATE_NOOP("cad", "形 (SHAPE)")},
        {"ACAD_TABLE", QT_TRANSLATE_NOOP("cad", "表格 (ACAD_TABLE)")},
        {"ARC_DIMENSION", QT_TRANSLATE_NOOP("cad", "弧长标注 (ARC_DIMENSION)")},
        {"OLE2FRAME", QT_TRANSLATE_NOOP("cad", "OLE对象 (OLE2FRAME)")},
    };
    const auto found = kLabels.find(type);
    if (found != kLabels.end())
        return found->second;
    return type.empty() ? std::string("?") : std::string(type.substr(0, 32));
}

// The file as dxflib sees it: checked pair by pair and cut down to what the drawing
// holds. Problems end the stream; Error() then says what was wrong.
class DxfFilter : public std::streambuf {
public:
    DxfFilter(QIODevice& file, qint64 fileBytes, DrawingModel& model, std::deque<bool>& polylineKinds)
        : lines_(file), fileBytes_(fileBytes), model_(model), polylineKinds_(polylineKinds)
    {
    }

    const std::string& Error() const { return error_; }

    // After dxflib has read everything: whether the file ended where a DXF file ends.
    void CheckEnd()
    {
        if (!error_.empty() || sawEof_)
            return;
        if (!sawSection_)
            error_ = i18n::Translate("cad", "这不是DXF文件（文件中没有任何段）。");
        else if (inSection_)
            error_ = i18n::Format(
                i18n::Translate("cad", "文件在第 %1 行之后中断（缺少段结束和文件结束标记），可能已被截断。"),
                {LineNumber()});
    }

protected:
    int_type underflow() override
    {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        out_.clear();
        try {
            while (!done_ && out_.size() < kFilteredBlockBytes)
                ReadPair();
        } catch (const FileProblem& problem) {
            error_ = problem.what();
            done_ = true;
            out_.clear();
        }
        if (out_.empty())
            return traits_type::eof();
        setg(out_.data(), out_.data(), out_.data() + out_.size());
        return traits_type::to_int_type(*gptr());
    }

private:
    std::string LineNumber() const { return std::to_string(lines_.Number()); }

    void ReadPair()
    {
        std::string_view line;
        if (!lines_.Next(line)) {
            done_ = true;
            return;
        }
        if (!sawPair_ && line.starts_with("AutoCAD Binary DXF"))
            throw FileProblem(
                i18n::Translate("cad", "这是二进制DXF文件，图形窗口只读取文本（ASCII）格式的DXF文件。"));
        const std::string_view codeText = Trim(line);
        int code = 0;
        const auto [end, status] = std::from_chars(codeText.data(), codeText.data() + codeText.size(), code);
        if (status != std::errc() || end != codeText.data() + codeText.size() || code < 0 || code > 1071) {
            throw FileProblem(sawPair_
                                  ? i18n::Format(i18n::Translate("cad", "第 %1 行应是组码（整数），却是%2。"),
                                                 {LineNumber(), Quoted(line)})
                                  : i18n::Translate("cad", "这不是DXF文件（第 1 行不是组码）。"));
        }
        if (!lines_.Next(line))
            throw FileProblem(
                i18n::Format(i18n::Translate("cad", "文件在第 %1 行（组码 %2）之后中断，可能已被截断。"),
                             {LineNumber(), std::to_string(code)}));
        Take(code, line);
    }

    void Take(int code, std::string_view value)
    {
        if (!sawPair_) {
            sawPair_ = true;
            if (code != 999 && !(code == 0 && Trim(value) == "SECTION"))
                throw FileProblem(i18n::Translate("cad", "这不是DXF文件（没有以段 SECTION 开始）。"));
        }
        if (code == 999)
            return;
        if (code == 0) {
            StartObject(Trim(value));
            return;
        }
        if (awaitingSectionName_) {
            awaitingSectionName_ = false;
            if (code == 2)
                OpenSection(Trim(value));
            return;
        }
        if (awaitingBlockName_ && code == 2) {
            awaitingBlockName_ = false;
            // Every drawing has the blocks of model and paper space; only blocks of the user
            // are content that a save loses.
            if (!(value.starts_with("*Model_Space") || value.starts_with("*MODEL_SPACE") ||
                  value.starts_with("*Paper_Space") || value.starts_with("*PAPER_SPACE")))
                model_.NoteUnsaved(QT_TRANSLATE_NOOP("cad", "块定义 (BLOCK)"));
            return;
        }
        // Extended data, reactors, owner links, handles and subclass markers are of no use
        // to the drawing; outside the header they are not passed on.
        if (!passing_ || code >= 1000 || code == 102 || code == 330 || code == 360 ||
            ((code == 5 || code == 100) && section_ != Section::Header))
            return;
        if (inLwPolyline_ && !CheckLwPolylinePair(code, value))
            return;
        Emit(code, value);
    }

    void OpenSection(std::string_view name)
    {
        section_ = SectionNamed(name);
        passing_ = section_ == Section::Header;
        if (section_ != Section::Other) {
            Emit(0, "SECTION");
            Emit(2, name);
        }
    }

    void StartObject(std::string_view type)
    {
        ReleaseVertices();
        passing_ = false;
        inLwPolyline_ = false;
        if (type == "EOF") {
            sawEof_ = true;
            done_ = true;
            Emit(0, "EOF");
        } else if (type == "SECTION") {
            inSection_ = true;
            sawSection_ = true;
            awaitingSectionName_ = true;
            section_ = Section::None;
        } else if (type == "ENDSEC") {
            inSection_ = false;
            if (section_ != Section::Other)
                Emit(0, "ENDSEC");
            section_ = Section::None;
        } else if (section_ == Section::Header) {
            passing_ = true;
        } else if (section_ == Section::Tables) {
            passing_ = type == "LAYER" || type == "LTYPE" || type == "STYLE";
            if (passing_)
                Emit(0, type);
        } else if (section_ == Section::Blocks) {
            awaitingBlockName_ = type == "BLOCK";
        } else if (section_ == Section::Entities) {
            StartEntity(type);
        }
    }

    void StartEntity(std::string_view type)
    {
        if (inSequence_ && (type == "VERTEX" || type == "SEQEND")) {
            inSequence_ = type == "VERTEX";
            passing_ = sequenceOfPolyline_;
            if (passing_)
                Emit(0, type);
            return;
        }
        inSequence_ = false;
        if (type == "POINT" || type == "TEXT" || type == "LINE" || type == "CIRCLE" || type == "ARC" ||
            type == "ELLIPSE" || type == "LWPOLYLINE" || type == "POLYLINE") {
            passing_ = true;
            if (type == "LWPOLYLINE") {
                inLwPolyline_ = true;
                lwCountSeen_ = false;
                lwVertexSeen_ = false;
                polylineKinds_.push_back(true);
            } else if (type == "POLYLINE") {
                inSequence_ = true;
                sequenceOfPolyline_ = true;
                polylineKinds_.push_back(false);
            }
            Emit(0, type);
            return;
        }
        if (type == "INSERT") {
            inSequence_ = true;  // its attributes follow, ended by SEQEND
            sequenceOfPolyline_ = false;
        }
        // Viewports belong to the layouts, which a save writes anew; they are not content.
        if (type != "VIEWPORT")
            model_.NoteUnsaved(EntityLabel(type));
    }

    // dxflib sizes and fills its vertex array from group 90 before any vertex comes, and
    // writes before it when a bulge comes before the first vertex. So group 90 is held back:
    // the groups after it are kept until the polyline ends, and dxflib is then given the
    // number of vertices (groups 10) really read. A claim that the rest of the file cannot
    // even hold is refused; a claim that it could hold but does not costs nothing.
    bool CheckLwPolylinePair(int code, std::string_view value)
    {
        if (code == 90) {
            long long count = -1;
            const std::string_view text = Trim(value);
            const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), count);
            if (status != std::errc() || end != text.data() + text.size() || count < 0)
                throw FileProblem(
                    i18n::Format(i18n::Translate("cad", "第 %1 行：轻量多段线的顶点数 %2 不合理。"),
                                 {LineNumber(), Quoted(value)}));
            const long long remainingBytes = std::max(fileBytes_ - lines_.Offset(), 0LL);
            if (count > remainingBytes / kMinVertexBytes)
                throw FileProblem(
                    i18n::Format(i18n::Translate("cad", "第 %1 行：轻量多段线声称有 %2 个顶点，而文件只剩 %3 "
                                                        "字节，至多容纳 %4 个顶点。"),
                                 {LineNumber(), std::to_string(count), std::to_string(remainingBytes),
                                  std::to_string(remainingBytes / kMinVertexBytes)}));
            ReleaseVertices();
            holdingVertices_ = true;
            lwCountSeen_ = true;
            lwVertexSeen_ = false;
            return false;
        }
        if (code == 10) {
            if (!lwCountSeen_)
                throw FileProblem(i18n::Format(
                    i18n::Translate("cad", "第 %1 行：轻量多段线在顶点数（组码 90）之前给出了顶点。"),
                    {LineNumber()}));
            if (++heldVertexCount_ > kMaxLwVertices)
                throw FileProblem(
                    i18n::Format(i18n::Translate("cad", "第 %1 行：轻量多段线的顶点数 %2 不合理。"),
                                 {LineNumber(), Quoted(std::to_string(heldVertexCount_))}));
            lwVertexSeen_ = true;
        } else if (code == 42 && !lwVertexSeen_) {
            return false;
        }
        return true;
    }

    // Passes on the group 90 held back, with the count of vertices read, and the groups
    // that followed it.
    void ReleaseVertices()
    {
        if (!holdingVertices_)
            return;
        holdingVertices_ = false;
        Emit(90, std::to_string(heldVertexCount_));
        out_.append(held_);
        held_.clear();
        heldVertexCount_ = 0;
    }

    void Emit(int code, std::string_view value)
    {
        std::string& out = holdingVertices_ ? held_ : out_;
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, code).ptr;
        out.append(digits, end);
        out.push_back('\n');
        if (value.size() > kMaxDxfValueBytes) {
            value = value.substr(0, kMaxDxfValueBytes);
            model_.NoteUnsaved(QT_TRANSLATE_NOOP("cad", "超长字符串（读入时已截断）"));
        }
        out.append(value);
        out.push_back('\n');
    }

    LineReader lines_;
    const long long fileBytes_;
    DrawingModel& model_;
    std::deque<bool>& polylineKinds_;
    std::string out_;
    std::string error_;
    bool done_ = false;
    bool sawPair_ = false;
    bool sawEof_ = false;
    bool inSection_ = false;
    bool sawSection_ = false;
    bool awaitingSectionName_ = false;
    bool awaitingBlockName_ = false;
    Section section_ = Section::None;
    bool passing_ = false;
    bool inSequence_ = false;
    bool sequenceOfPolyline_ = false;
    bool inLwPolyline_ = false;
    bool lwCountSeen_ = false;
    bool lwVertexSeen_ = false;
    // A lightweight polyline's groups after its group 90, until its vertices are counted.
    bool holdingVertices_ = false;
    std::string held_;
    long long heldVertexCount_ = 0;
};

// Builds the drawing from what dxflib reports. Values are decoded from the file's
// encoding; entities in object coordinates turned upside down (extrusion 0,0,-1, as
// mirroring leaves them) are brought into world coordinates.
class DrawingBuilder : public DL_CreationAdapter {
public:
    DrawingBuilder(DrawingModel& model, std::deque<bool>& polylineKinds)
        : model_(model), polylineKinds_(polylineKinds)
    {
    }

    void Finish() { EndPolyline(); }

    void setVariableString(const std::string& key, const std::string& value, int) override
    {
        if (key == "$ACADVER")
            decoder_.SetVersion(Trim(value));
        else if (key == "$DWGCODEPAGE")
            decoder_.SetCodePage(Trim(value));
    }

    void setVariableDouble(const std::string& key, double value, int) override
    {
        if (key == "$LTSCALE" && std::isfinite(value) && value > 0.0)
            model_.SetLtScale(value);
    }

    void addLayer(const DL_LayerData& data) override
    {
        const DL_Attributes attributes = getAttributes();
        LayerRecord layer;
        layer.name = decoder_.Decode(data.name);
        layer.flags = data.flags;
        int color = std::abs(attributes.getColor());
        if (color == 0 || color >= 256)
            color = 7;
        layer.color = (data.off || attributes.getColor() < 0) ? -color : color;
        layer.color24 = attributes.getColor24();
        layer.lineWeight = attributes.getWidth();
        layer.linetype = decoder_.Decode(attributes.getLinetype());
        if (!layer.name.empty())
            model_.SetLayer(layer);
    }

    // dxflib reports a linetype's dashes before the linetype itself.
    void addLinetypeDash(double lengthM) override { dashes_.push_back(lengthM); }

    void addLinetype(const DL_LinetypeData& data) override
    {
        LinetypeRecord linetype;
        linetype.name = decoder_.Decode(data.name);
        linetype.description = decoder_.Decode(data.description);
        linetype.flags = data.flags;
        linetype.patternLengthM = data.patternLength;
        linetype.dashesM = std::move(dashes_);
        dashes_.clear();
        if (!linetype.name.empty())
            model_.SetLinetype(linetype);
    }

    void addTextStyle(const DL_StyleData& data) override
    {
        TextStyleRecord style;
        style.name = decoder_.Decode(data.name);
        style.flags = data.flags;
        style.fixedHeightM = data.fixedTextHeight;
        style.widthFactor = data.widthFactor;
        style.obliqueAngleDeg = data.obliqueAngle;
        style.generationFlags = data.textGenerationFlags;
        style.lastHeightM = data.lastHeightUsed;
        style.fontFile = decoder_.Decode(data.primaryFontFile);
        style.bigFontFile = decoder_.Decode(data.bigFontFile);
        if (!style.name.empty())
            model_.SetTextStyle(style);
    }

    void addPoint(const DL_PointData& data) override
    {
        if (Kept(false))
            model_.AddPoint(data.x, data.y, data.z, Style());
    }

    void addLine(const DL_LineData& data) override
    {
        if (!Kept(false))
            return;
        DrawingOther line;
        line.kind = OtherKind::Line;
        line.style = Style();
        line.p = {data.x1, data.y1, data.z1, data.x2, data.y2, data.z2};
        model_.AddOther(line);
    }

    void addCircle(const DL_CircleData& data) override
    {
        if (!Kept(true))
            return;
        DrawingOther circle;
        circle.kind = OtherKind::Circle;
        circle.style = Style();
        circle.p = {Mirrored() ? -data.cx : data.cx, data.cy, data.cz, data.radius};
        model_.AddOther(circle);
    }

    void addArc(const DL_ArcData& data) override
    {
        if (!Kept(true))
            return;
        DrawingOther arc;
        arc.kind = OtherKind::Arc;
        arc.style = Style();
        if (Mirrored())
            arc.p = {-data.cx, data.cy, data.cz, data.radius, 180.0 - data.angle2, 180.0 - data.angle1};
        else
            arc.p = {data.cx, data.cy, data.cz, data.radius, data.angle1, data.angle2};
        model_.AddOther(arc);
    }

    void addEllipse(const DL_EllipseData& data) override
    {
        if (!Kept(false))
            return;
        DrawingOther ellipse;
        ellipse.kind = OtherKind::Ellipse;
        ellipse.style = Style();
        ellipse.p = {data.cx, data.cy,    data.cz,     data.mx,    data.my,
                     data.mz, data.ratio, data.angle1, data.angle2};
        model_.AddOther(ellipse);
    }

    void addText(const DL_TextData& data) override
    {
        if (!Kept(true))
            return;
        const double sign = Mirrored() ? -1.0 : 1.0;
        DrawingText text;
        text.x = sign * data.ipx;
        text.y = data.ipy;
        text.z = data.ipz;
        text.alignX = sign * data.apx;
        text.alignY = data.apy;
        text.alignZ = data.apz;
        text.heightM = data.height;
        text.rotationRad = Mirrored() ? std::numbers::pi - data.angle : data.angle;
        text.widthFactor = data.xScaleFactor > 0.0 ? data.xScaleFactor : 1.0;
        text.generationFlags = static_cast<std::uint8_t>(data.textGenerationFlags & 0x06);
        text.hJust = static_cast<std::uint8_t>(
            data.hJustification >= 0 && data.hJustification <= 5 ? data.hJustification : 0);
        text.vJust = static_cast<std::uint8_t>(
            data.vJustification >= 0 && data.vJustification <= 3 ? data.vJustification : 0);
        text.textStyle = model_.TextStyleIndex(decoder_.Decode(data.style));
        text.style = Style();
        model_.AddText(text, decoder_.Decode(data.text));
    }

    void addPolyline(const DL_PolylineData& data) override
    {
        EndPolyline();
        polyline_ = PendingPolyline{};
        polyline_.active = true;
        if (!polylineKinds_.empty()) {
            polyline_.lightweight = polylineKinds_.front();
            polylineKinds_.pop_front();
        }
        polyline_.closed = (data.flags & 1) != 0;
        // A lightweight polyline's elevation is its group 38; an old-style one's is the z (30) of its
        // header, which dxflib keeps as the extrusion's elevation. Both are measured along the
        // extrusion direction, downwards in a mirrored one.
        const double elevation = polyline_.lightweight ? data.elevation : getExtrusion()->getElevation();
        polyline_.elevation = Mirrored() ? -elevation : elevation;
        // 8: 3-D polyline, 16: polygon mesh, 64: polyface mesh.
        if (!polyline_.lightweight && (data.flags & (8 | 16 | 64)) != 0) {
            if (!getAttributes().isInPaperSpace())
                model_.NoteUnsaved(QT_TRANSLATE_NOOP("cad", "三维多段线或网格 (POLYLINE)"));
            polyline_.kept = false;
        } else {
            polyline_.kept = Kept(true);
        }
        polyline_.mirrored = Mirrored();
        polyline_.style = polyline_.kept ? Style() : 0;
    }

    void addVertex(const DL_VertexData& data) override
    {
        if (!polyline_.active || !polyline_.kept)
            return;
        polyline_.xy.push_back(polyline_.mirrored ? -data.x : data.x);
        polyline_.xy.push_back(data.y);
        polyline_.bulges.push_back(polyline_.mirrored ? -data.bulge : data.bulge);
    }

    void endEntity() override { EndPolyline(); }
    void endSequence() override { EndPolyline(); }

private:
    struct PendingPolyline {
        bool active = false;
        bool lightweight = true;
        bool kept = false;
        bool closed = false;
        bool mirrored = false;
        std::uint32_t style = 0;
        double elevation = 0.0;
        std::vector<double> xy;
        std::vector<double> bulges;
    };

    void EndPolyline()
    {
        if (!polyline_.active)
            return;
        polyline_.active = false;
        if (!polyline_.kept)
            return;
        if (polyline_.lightweight) {
            model_.AddPolyline(polyline_.xy, polyline_.closed, polyline_.bulges, polyline_.style,
                               polyline_.elevation);
        } else {
            DrawingOther other;
            other.kind = OtherKind::Polyline2d;
            other.style = polyline_.style;
            other.closed = polyline_.closed;
            other.p[0] = polyline_.elevation;
            model_.AddOther(other, polyline_.xy, polyline_.bulges);
        }
    }

    // Whether the drawing keeps the entity now being reported; paper space and entities
    // standing in a tilted plane are counted as what a save drops.
    bool Kept(bool planar)
    {
        if (getAttributes().isInPaperSpace()) {
            model_.NoteUnsaved(QT_TRANSLATE_NOOP("cad", "图纸空间中的实体"));
            return false;
        }
        if (planar) {
            const double* direction = getExtrusion()->getDirection();
            if (std::abs(direction[0]) > 1e-9 || std::abs(direction[1]) > 1e-9 || direction[2] == 0.0) {
                model_.NoteUnsaved(QT_TRANSLATE_NOOP("cad", "不在水平面上的实体"));
                return false;
            }
        }
        return true;
    }

    bool Mirrored() { return getExtrusion()->getDirection()[2] < 0.0; }

    std::uint32_t Style()
    {
        const DL_Attributes a = getAttributes();
        auto key = std::make_tuple(a.getLayer(), a.getColor(), a.getColor24(), a.getWidth(), a.getLinetype(),
                                   a.getLinetypeScale());
        const auto found = styleIndex_.find(key);
        if (found != styleIndex_.end())
            return found->second;
        EntityStyle style;
        style.layer = a.getLayer().empty() ? std::string("0") : decoder_.Decode(a.getLayer());
        style.color = a.getColor();
        style.color24 = a.getColor24();
        style.lineWeight = a.getWidth();
        style.linetype = decoder_.Decode(a.getLinetype());
        style.linetypeScale = a.getLinetypeScale() > 0.0 ? a.getLinetypeScale() : 1.0;
        const std::uint32_t index = model_.InternStyle(style);
        styleIndex_.emplace(std::move(key), index);
        return index;
    }

    DrawingModel& model_;
    std::deque<bool>& polylineKinds_;
    DxfTextDecoder decoder_;
    std::vector<double> dashes_;
    PendingPolyline polyline_;
    std::map<std::tuple<std::string, int, int, int, std::string, double>, std::uint32_t> styleIndex_;
};

std::string ReadProblem(const QString& path, const std::string& reason)
{
    return i18n::Format(i18n::Translate("cad", "无法读取DXF文件“%1”：%2"), {path.toStdString(), reason});
}

}  // namespace

DrawingModel ReadDxfFile(const QString& path)
{
    QFile file(path);
    if (QFileInfo(path).isDir())
        throw DxfError(ReadProblem(path, i18n::Translate("cad", "这是一个文件夹。")));
    if (!file.open(QIODevice::ReadOnly))
        throw DxfError(ReadProblem(path, i18n::Format(i18n::Translate("cad", "无法打开文件（%1）。"),
                                                      {file.errorString().toStdString()})));
    if (file.size() == 0)
        throw DxfError(ReadProblem(path, i18n::Translate("cad", "文件是空的。")));
    DrawingModel model;
    std::deque<bool> polylineKinds;
    DxfFilter filter(file, file.size(), model, polylineKinds);
    std::istream stream(&filter);
    DrawingBuilder builder(model, polylineKinds);
    auto dxf = std::make_unique<DL_Dxf>();
    dxf->in(stream, &builder);
    filter.CheckEnd();
    if (!filter.Error().empty())
        throw DxfError(ReadProblem(path, filter.Error()));
    builder.Finish();
    return model;
}

}  // namespace keldarn::cad
