#include "cad/kml_writer.h"

#include "encoding/text_encoding.h"
#include "fileio/atomic_file.h"
#include "geodesy/number_text.h"
#include "i18n/interface_text.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace keldarn::cad {
namespace {

// Beyond this a drawing coordinate (metres) is no survey coordinate on the Earth.
constexpr double kMaxDrawingCoordinate = 1e9;
constexpr int kCoordinateDecimals = 14;

struct Box {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;
};

void Line(std::string& out, std::string_view text)
{
    out.append(text);
    out.append("\r\n");
}

void Element(std::string& out, std::string_view tag, std::string_view value)
{
    out.append("<").append(tag).append(">").append(value).append("</").append(tag).append(">\r\n");
}

// A point far outside the zone: its entity is left out of the file. Derived from
// KmlError so that, should the document's own view ever meet one, the user still reads
// why.
class OutsideZoneError : public kml::KmlError {
public:
    OutsideZoneError()
        : kml::KmlError(
              i18n::Translate("cad", "坐标远在投影带之外（超出±1e9或纬度超过90°），请检查中央子午线和四参数"))
    {
    }
};

class DocumentBuilder {
public:
    explicit DocumentBuilder(const survey::SurveyFrame& frame) : frame_(frame) {}

    // Adds entity number `ordinal` (from 1) of the selection, or counts it as left out
    // when it lies far outside the zone.
    void AddEntity(const IAcadEntity& entity, int ordinal);
    KmlDocument Finish(std::string_view documentName) const;

private:
    enum class Shape { Point, Ring, Line };
    struct Placemark {
        std::string name;
        Shape shape;
        std::string coordinates;  // the coordinate lines
    };

    Placemark ReadText(const IAcadEntity& entity) const;
    std::optional<Placemark> ReadPolyline(const IAcadEntity& entity);
    void AddPlacemark(const IAcadEntity& entity, const Placemark& placemark);
    static void AddGeometry(std::string& out, const Placemark& placemark);
    std::string CoordinateLine(double x, double y) const;
    geodesy::GeoPoint ToGeographic(double x, double y) const;
    void AddLookAt(std::string& out, const Box& box) const;
    void Widen(const Box& box);
    static double Checked(double value);

    survey::SurveyFrame frame_;
    std::string placemarks_;
    std::size_t placemarkCount_ = 0;
    Box extents_;
    int regionCount_ = 0;
    int lineCount_ = 0;
    std::size_t leftOut_ = 0;
};

void DocumentBuilder::AddEntity(const IAcadEntity& entity, int ordinal)
{
    try {
        const std::string objectName = entity.ObjectName();
        std::optional<Placemark> placemark;
        if (objectName == "AcDbText")
            placemark = ReadText(entity);
        else if (objectName == "AcDbPolyline")
            placemark = ReadPolyline(entity);
        if (placemark)
            AddPlacemark(entity, *placemark);
    } catch (const OutsideZoneError&) {
        ++leftOut_;
    } catch (const AcadError& error) {
        throw AcadError(i18n::Format(i18n::Translate("cad", "第%1个选中的图元无法读取：%2"),
                                     {std::to_string(ordinal), error.what()}));
    }
}

DocumentBuilder::Placemark DocumentBuilder::ReadText(const IAcadEntity& entity) const
{
    const Point3 at = entity.InsertionPoint();
    return {entity.TextString(), Shape::Point, CoordinateLine(at.x, at.y)};
}

std::optional<DocumentBuilder::Placemark> DocumentBuilder::ReadPolyline(const IAcadEntity& entity)
{
    // The counter goes up even for a polyline left out, so later names do not depend on it.
    const bool closed = entity.closed();
    Placemark placemark{closed ? "Region" + std::to_string(++regionCount_)
                               : "Line" + std::to_string(++lineCount_),
                        closed ? Shape::Ring : Shape::Line,
                        {}};
    const std::size_t vertexCount = entity.Coordinates().size() / 2;
    if (vertexCount == 0)
        return std::nullopt;
    for (std::size_t j = 0; j < vertexCount; ++j) {
        const std::array<double, 2> vertex = entity.Coordinate(static_cast<int>(j));
        placemark.coordinates += CoordinateLine(vertex[0], vertex[1]);
    }
    if (vertexCount == 1)
        placemark.shape = Shape::Point;  // one vertex is no line
    else if (closed)                     // the ring ends where it starts
        placemark.coordinates += placemark.coordinates.substr(0, placemark.coordinates.find('\n') + 1);
    return placemark;
}

void DocumentBuilder::AddPlacemark(const IAcadEntity& entity, const Placemark& placemark)
{
    Point3 lowerLeft;
    Point3 upperRight;
    entity.GetBoundingBox(lowerLeft, upperRight);
    const Box box{Checked(lowerLeft.x), Checked(lowerLeft.y), Checked(upperRight.x), Checked(upperRight.y)};

    // Built apart, so that a view centre outside the zone leaves no half placemark.
    std::string out;
    Line(out, "<Placemark>");
    Element(out, "name", EscapeXmlText(placemark.name));
    AddLookAt(out, box);
    Line(out, "<styleUrl>#CoordInfo0</styleUrl>");
    AddGeometry(out, placemark);
    Line(out, "</Placemark>");
    placemarks_ += out;
    Widen(box);
}

void DocumentBuilder::AddGeometry(std::string& out, const Placemark& placemark)
{
    switch (placemark.shape) {
    case Shape::Point:
        out.append("<Point>\r\n<coordinates>\r\n")
            .append(placemark.coordinates)
            .append("</coordinates>\r\n</Point>\r\n");
        break;
    case Shape::Ring:
        out.append("<Polygon>\r\n<tessellate>1</tessellate>\r\n<outerBoundaryIs>\r\n<LinearRing>\r\n"
                   "<coordinates>\r\n")
            .append(placemark.coordinates)
            .append("</coordinates>\r\n</LinearRing>\r\n</outerBoundaryIs>\r\n</Polygon>\r\n");
        break;
    case Shape::Line:
        out.append("<LineString>\r\n<tessellate>1</tessellate>\r\n<coordinates>\r\n")
            .append(placemark.coordinates)
            .append("</coordinates>\r\n</LineString>\r\n");
        break;
    }
}

double DocumentBuilder::Checked(double value)
{
    if (!std::isfinite(value) || std::abs(value) > kMaxDrawingCoordinate)
        throw OutsideZoneError();
    return value;
}

geodesy::GeoPoint DocumentBuilder::ToGeographic(double x, double y) const
{
    // The entities are taken as two-dimensional and written at altitude 0, so the datum
    // shift takes them at height 0.
    const geodesy::GeoPoint geo = frame_.ToGeographic(survey::GridOfDrawing(Checked(x), Checked(y)));
    if (!std::isfinite(geo.latDeg) || !std::isfinite(geo.lonDeg) || std::abs(geo.latDeg) > 90.0)
        throw OutsideZoneError();
    return geo;
}

// "lon,lat,0" with 14 decimals.
std::string DocumentBuilder::CoordinateLine(double x, double y) const
{
    const geodesy::GeoPoint geo = ToGeographic(x, y);
    return geodesy::FormatFixed(geo.lonDeg, kCoordinateDecimals) + "," +
           geodesy::FormatFixed(geo.latDeg, kCoordinateDecimals) + ",0\r\n";
}

void DocumentBuilder::AddLookAt(std::string& out, const Box& box) const
{
    const geodesy::GeoPoint centre = ToGeographic((box.minX + box.maxX) / 2.0, (box.minY + box.maxY) / 2.0);
    const double rangeM = 1.5 * std::hypot(box.maxX - box.minX, box.maxY - box.minY);
    Line(out, "<LookAt>");
    Element(out, "longitude", FormatGeneralNumber(centre.lonDeg));
    Element(out, "latitude", FormatGeneralNumber(centre.latDeg));
    Line(out, "<altitude>0</altitude>");
    Line(out, "<heading>0</heading>");
    Line(out, "<tilt>0</tilt>");
    Element(out, "range", FormatGeneralNumber(rangeM));
    Line(out, "</LookAt>");
}

void DocumentBuilder::Widen(const Box& box)
{
    if (placemarkCount_++ == 0) {
        extents_ = box;
        return;
    }
    // A bound moves only for a strictly smaller minimum or a strictly larger maximum.
    if (box.minX < extents_.minX)
        extents_.minX = box.minX;
    if (box.minY < extents_.minY)
        extents_.minY = box.minY;
    if (box.maxX > extents_.maxX)
        extents_.maxX = box.maxX;
    if (box.maxY > extents_.maxY)
        extents_.maxY = box.maxY;
}

KmlDocument DocumentBuilder::Finish(std::string_view documentName) const
{
    if (placemarkCount_ == 0 && leftOut_ > 0) {
        throw kml::KmlError(
            i18n::Format(i18n::Translate("cad", "选中的图元中没有可以写入KML的文字或多段线："
                                                "有%1个对象的坐标远在投影带之外（超出±1e9或纬度超过90°），"
                                                "请检查中央子午线和四参数"),
                         {std::to_string(leftOut_)}));
    }
    if (placemarkCount_ == 0)
        throw kml::KmlError(i18n::Translate("cad", "选中的图元中没有可以写入KML的文字或多段线"));
    KmlDocument document;
    std::string& out = document.text;
    out.reserve(placemarks_.size() + 2048);
    Line(out, R"(<?xml version="1.0" encoding="UTF-8"?>)");
    Line(out, R"(<kml xmlns="http://www.opengis.net/kml/2.2">)");
    Line(out, "<Document>");
    Element(out, "name", EscapeXmlText(documentName));
    Line(out, "<open>1</open>");
    AddLookAt(out, extents_);
    // KML colour order is aabbggrr: FF0000FF is opaque red.
    out.append("<Style id=\"CoordInfo\">\r\n<LineStyle>\r\n<color>FF0000FF</color>\r\n<width>2</width>\r\n"
               "</LineStyle>\r\n<PolyStyle>\r\n<fill>0</fill>\r\n</PolyStyle>\r\n</Style>\r\n");
    out.append(
        "<StyleMap id=\"CoordInfo0\">\r\n<Pair>\r\n<key>normal</key>\r\n<styleUrl>#CoordInfo</styleUrl>\r\n"
        "</Pair>\r\n<Pair>\r\n<key>highlight</key>\r\n<styleUrl>#CoordInfo</styleUrl>\r\n</Pair>\r\n"
        "</StyleMap>\r\n");
    out.append(placemarks_);
    Line(out, "</Document>");
    Line(out, "</kml>");
    document.placemarks = placemarkCount_;
    document.leftOut = leftOut_;
    return document;
}

// Length of the UTF-8 sequence starting at text[i] when it is valid, else 0.
std::size_t ValidSequenceLength(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (i + length > text.size() || !encoding::IsValidUtf8(text.substr(i, length)))
        return 0;
    return length;
}

// Characters XML 1.0 cannot carry at all, not even as references.
bool IsForbiddenInXml(std::string_view character)
{
    if (character.size() == 1) {
        const auto ch = static_cast<unsigned char>(character[0]);
        return ch < 0x20 && ch != '\t' && ch != '\n' && ch != '\r';
    }
    return character == "\xEF\xBF\xBE" || character == "\xEF\xBF\xBF";  // U+FFFE, U+FFFF
}

}  // namespace

std::string EscapeXmlText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = ValidSequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD replacement character
            ++i;
            continue;
        }
        const std::string_view character = text.substr(i, length);
        i += length;
        if (character == "&")
            out += "&amp;";
        else if (character == "<")
            out += "&lt;";
        else if (character == ">")
            out += "&gt;";
        else if (!IsForbiddenInXml(character))
            out += character;
    }
    return out;
}

std::string FormatGeneralNumber(double value)
{
    constexpr double kSmallestShown = 1e-15;
    if (!(std::abs(value) >= kSmallestShown))  // also NaN, which never reaches here
        return "0";
    // d.dddddddddddddde±x: the 15 significant digits, rounded once.
    char scientific[32];
    const auto result =
        std::to_chars(scientific, scientific + sizeof scientific, value, std::chars_format::scientific, 14);
    const std::string_view text(scientific, static_cast<std::size_t>(result.ptr - scientific));
    const bool negative = text.front() == '-';
    const std::size_t mark = text.find('e');
    int exponent = 0;
    std::from_chars(text.data() + mark + (text[mark + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exponent);
    std::string digits;
    for (const char ch : text.substr(0, mark))
        if (ch >= '0' && ch <= '9')
            digits += ch;
    digits.erase(digits.find_last_not_of('0') + 1);

    std::string out = negative ? "-" : "";
    if (exponent < 0) {
        out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        return out;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits)
        return out + digits + std::string(integerDigits - digits.size(), '0');
    return out + digits.substr(0, integerDigits) + "." + digits.substr(integerDigits);
}

KmlDocument BuildKmlDocument(const IAcadSelectionSet& selection, const survey::SurveyFrame& frame,
                             std::string_view documentName)
{
    DocumentBuilder builder(frame);
    const int count = selection.Count();
    for (int i = 0; i < count; ++i)
        builder.AddEntity(selection.Item(i), i + 1);
    return builder.Finish(documentName);
}

KmlDocument BuildKmlDocument(const IAcadSelectionSet& selection, double centralMeridianDeg,
                             const geodesy::FourParamCoefficients& transform, std::string_view documentName)
{
    return BuildKmlDocument(selection, survey::SurveyFrame(centralMeridianDeg, transform), documentName);
}

KmlWriteResult WriteKmlFromSelection(const IAcadSelectionSet& selection, const survey::SurveyFrame& frame,
                                     const std::filesystem::path& target)
{
    if (selection.Count() == 0)
        return {};
    const KmlDocument document = BuildKmlDocument(selection, frame, target.stem().string());
    fileio::WriteFileAtomically(target, document.text);
    return {document.placemarks, document.leftOut};
}

KmlWriteResult WriteKmlFromSelection(const IAcadSelectionSet& selection, double centralMeridianDeg,
                                     const geodesy::FourParamCoefficients& transform,
                                     const std::filesystem::path& target)
{
    return WriteKmlFromSelection(selection, survey::SurveyFrame(centralMeridianDeg, transform), target);
}

}  // namespace keldarn::cad
