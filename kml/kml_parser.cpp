#include "kml/kml_parser.h"

#include "geodesy/coordinates.h"
#include "geodesy/number_text.h"
#include "i18n/interface_text.h"
#include "kml/kml_decoder.h"
#include "kml/kml_error.h"

// The entity-amplification limits are declared only with XML_DTD, which Debian's expat
// is built with (it is what makes internal entities work at all).
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <memory>
#include <string_view>
#include <type_traits>

namespace keldarn::kml {
namespace {

// Between a namespace name and a local name in the element names expat reports; no
// namespace name or XML name can contain it.
constexpr XML_Char kNamespaceSeparator = '\x01';
constexpr std::size_t kMaxNameBytes = 4 * 1024 * 1024;
// Expat keeps a small record per open element; this bounds the memory a file of
// nothing but start tags can take (about 20 MB).
constexpr int kMaxDepth = 100'000;
// Text the parser has taken but not reported yet: one tag, comment or declaration
// (names, descriptions and CDATA are reported piece by piece and never count).
constexpr long long kMaxPendingBytes = 16LL * 1024 * 1024;
// Expat before 2.6 scans an unfinished token again from its start on every call. Once
// one is this long, text is fed in batches as long as the token so far, which keeps the
// rescanning linear.
constexpr long long kLongTokenBytes = 1024 * 1024;
// Values of vertices the reader keeps room for between elements: a huge polyline's room
// is given back rather than kept for the rest of the file.
constexpr std::size_t kKeptCapacity = 1 << 20;
// A tuple is some 60 characters; anything far longer is not a coordinate.
constexpr std::size_t kMaxTupleBytes = 4096;
// Entity expansion may make the text at most 100 times the file, once past 8 MB: the
// defaults of expat 2.4 and later, stated here because the reader relies on them.
constexpr float kMaxEntityAmplification = 100.0f;
constexpr unsigned long long kEntityCheckThresholdBytes = 8ULL * 1024 * 1024;

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};
using ParserHandle = std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree>;

enum class KmlElement {
    Other,
    Placemark,
    Name,
    Coordinates,
    Track,
    Coord,
    NetworkLink,
    Link,  // <Link>, or <Url> of KML 2.0
    Href,
    Model,
    Overlay,
};

enum class Vocabulary { Kml, GoogleExtension, Other };

Vocabulary VocabularyOf(std::string_view namespaceName)
{
    // KML: http://www.opengis.net/kml/2.2 (and 2.3), http://earth.google.com/kml/2.0 … 2.2;
    // Google's extensions (gx:): http://www.google.com/kml/ext/2.2.
    std::string lower(namespaceName);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (lower.find("kml/ext") != std::string::npos)
        return Vocabulary::GoogleExtension;
    return lower.find("kml") != std::string::npos ? Vocabulary::Kml : Vocabulary::Other;
}

// Tells the elements the reader looks for. A document uses one to three namespaces, so
// the answer for the last one is kept.
class ElementClassifier {
public:
    KmlElement operator()(std::string_view name)
    {
        Vocabulary vocabulary = Vocabulary::Kml;  // no namespace at all: KML as tools write it
        const std::size_t separator = name.rfind(kNamespaceSeparator);
        if (separator != std::string_view::npos) {
            const std::string_view namespaceName = name.substr(0, separator);
            if (namespaceName != lastNamespace_) {
                lastNamespace_ = namespaceName;
                lastVocabulary_ = VocabularyOf(namespaceName);
            }
            vocabulary = lastVocabulary_;
            name.remove_prefix(separator + 1);
        }
        if (vocabulary == Vocabulary::Other)
            return KmlElement::Other;
        // gx:Track and gx:coord became KML's own Track and coord in KML 2.3.
        if (name == "Track")
            return KmlElement::Track;
        if (name == "coord")
            return KmlElement::Coord;
        if (vocabulary == Vocabulary::GoogleExtension)
            return KmlElement::Other;
        static constexpr std::pair<std::string_view, KmlElement> kKmlElements[] = {
            {"coordinates", KmlElement::Coordinates},
            {"Placemark", KmlElement::Placemark},
            {"name", KmlElement::Name},
            {"NetworkLink", KmlElement::NetworkLink},
            {"Link", KmlElement::Link},
            {"Url", KmlElement::Link},
            {"href", KmlElement::Href},
            {"Model", KmlElement::Model},
            {"GroundOverlay", KmlElement::Overlay},
            {"PhotoOverlay", KmlElement::Overlay},
            {"ScreenOverlay", KmlElement::Overlay},
        };
        for (const auto& [localName, element] : kKmlElements)
            if (name == localName)
                return element;
        return KmlElement::Other;
    }

private:
    std::string lastNamespace_;
    Vocabulary lastVocabulary_ = Vocabulary::Other;
};

bool IsXmlBlank(char ch)
{
    return ch == ' ' || ch == '\n' || ch == '\t' || ch == '\r';
}

std::string_view TrimXmlBlanks(std::string_view text)
{
    while (!text.empty() && IsXmlBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsXmlBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A text quoted in a message, shortened so that a huge token cannot flood the message box.
std::string Quoted(std::string_view text)
{
    constexpr std::size_t kShownBytes = 60;
    std::string shown(text.substr(0, kShownBytes));
    while (!shown.empty() && (static_cast<unsigned char>(shown.back()) & 0xC0) == 0x80)
        shown.pop_back();  // never end inside a UTF-8 sequence
    if (shown.size() < text.size()) {
        if (!shown.empty())
            shown.pop_back();
        shown += "…";
    }
    return "'" + shown + "'";
}

// What is wrong with one tuple; the caller adds file and line.
struct TupleError {
    std::string reason;
};

double ParseCoordinate(std::string_view field)
{
    try {
        return geodesy::ParseNumber(field);
    } catch (const geodesy::InvalidNumberError&) {
        throw TupleError{i18n::Format(i18n::Translate("kml", "%1 不是有效的数值"), {Quoted(field)})};
    }
}

// The point of a longitude and a latitude text (degrees), in KML's order.
geodesy::GeoPoint ParseLonLat(std::string_view lonText, std::string_view latText)
{
    const double lon = ParseCoordinate(lonText);
    const double lat = ParseCoordinate(latText);
    if (std::abs(lat) > 90.0)
        throw TupleError{i18n::Format(
            i18n::Translate("kml", "纬度 %1 超出 -90 到 90 度的范围（经度和纬度是否颠倒？）"), {latText})};
    // KML's own range; beyond it the projection's series would give no number at all.
    if (std::abs(lon) > 180.0)
        throw TupleError{
            i18n::Format(i18n::Translate("kml", "经度 %1 超出 -180 到 180 度的范围"), {lonText})};
    return {.latDeg = lat, .lonDeg = lon};
}

// "lon,lat[,alt[,…]]" to its point (degrees).
geodesy::GeoPoint ParseTuple(std::string_view tuple)
{
    const std::size_t comma = tuple.find(',');
    if (comma == std::string_view::npos)
        throw TupleError{
            i18n::Format(i18n::Translate("kml", "%1 不是有效的坐标（应为“经度,纬度”或“经度,纬度,高程”）"),
                         {Quoted(tuple)})};
    const std::size_t secondComma = tuple.find(',', comma + 1);
    const std::string_view lonText = tuple.substr(0, comma);
    const std::string_view latText = tuple.substr(
        comma + 1, secondComma == std::string_view::npos ? std::string_view::npos : secondComma - comma - 1);
    if (lonText.empty())
        throw TupleError{i18n::Format(i18n::Translate("kml", "坐标 %1 缺少经度"), {Quoted(tuple)})};
    if (latText.empty())
        throw TupleError{i18n::Format(i18n::Translate("kml", "坐标 %1 缺少纬度"), {Quoted(tuple)})};
    return ParseLonLat(lonText, latText);
}

// A track position "lon lat [alt]" (trimmed, not empty) to its point (degrees).
geodesy::GeoPoint ParseTrackPosition(std::string_view position)
{
    const auto lonEnd = std::find_if(position.begin(), position.end(), IsXmlBlank);
    const auto latStart = std::find_if_not(lonEnd, position.end(), IsXmlBlank);
    if (latStart == position.end())
        throw TupleError{i18n::Format(i18n::Translate("kml", "轨迹坐标 %1 缺少纬度（应为“经度 纬度 高程”）"),
                                      {Quoted(position)})};
    const auto latEnd = std::find_if(latStart, position.end(), IsXmlBlank);
    return ParseLonLat(std::string_view(position.begin(), lonEnd), std::string_view(latStart, latEnd));
}

std::string XmlErrorReason(XML_Error code, bool rootSeen)
{
    std::string reason;
    switch (code) {
    case XML_ERROR_NO_ELEMENTS:
        return rootSeen ? i18n::Translate("kml", "文件不完整，在元素结束之前就结束了")
                        : i18n::Translate("kml", "文件是空的，或者不是XML文件");
    case XML_ERROR_UNCLOSED_TOKEN:
    case XML_ERROR_PARTIAL_CHAR:
        return i18n::Translate("kml", "文件不完整，在一个标记或字符的中间结束了");
    case XML_ERROR_INVALID_TOKEN:
        reason = i18n::Translate("kml", "含有无效的字符或标记（二进制数据，或文字不符合文件的编码）");
        break;
    case XML_ERROR_TAG_MISMATCH:
        reason = i18n::Translate("kml", "结束标记与开始标记不匹配");
        break;
    case XML_ERROR_UNDEFINED_ENTITY:
        reason = i18n::Translate("kml", "使用了未定义的实体");
        break;
    case XML_ERROR_UNBOUND_PREFIX:
        reason = i18n::Translate("kml", "使用了未声明的命名空间前缀");
        break;
    case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
        reason = i18n::Translate("kml", "根元素结束后还有其他内容");
        break;
    case XML_ERROR_INCORRECT_ENCODING:
    case XML_ERROR_UNKNOWN_ENCODING:
        reason = i18n::Translate("kml", "文字编码与文件声明的不符");
        break;
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4)
    case XML_ERROR_AMPLIFICATION_LIMIT_BREACH:
        return i18n::Translate("kml", "实体展开后的文字超过文件本身的100倍（实体炸弹），拒绝读取");
#endif
    default:
        reason = i18n::Translate("kml", "XML格式错误");
        break;
    }
    // Expat's own description stays as it is.
    return i18n::Format(i18n::Translate("kml", "%1（%2）"), {reason, XML_ErrorString(code)});
}

// The expat handlers and the state of one scan. Exceptions never cross expat's C
// frames: a handler stores what it caught and stops the parser.
class KmlScanner {
public:
    KmlScanner(XML_Parser parser, KmlGeometrySink& sink, const std::string& displayName);

    // After XML_Parse failed: what a handler caught, or the XML error as KmlError.
    [[noreturn]] void ThrowFailure() const;
    const KmlFeatureCounts& counts() const { return counts_; }
    // Bytes fed to the parser and not yet reported by it.
    long long PendingBytes(long long bytesFed) const { return bytesFed - lastEventIndex_; }
    // After XML_Parse returned: refuses a single token growing without bound.
    void CheckPending(long long bytesFed) const;

private:
    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attributes);
    static void XMLCALL OnEnd(void* self, const XML_Char* name);
    static void XMLCALL OnText(void* self, const XML_Char* text, int length);
    static void XMLCALL OnOther(void* self, const XML_Char* text, int length);

    template <typename Step> void Guarded(Step step);
    void Start(std::string_view name);
    void End();
    void Text(std::string_view text);
    void AppendLimited(std::string& text, std::string_view piece, std::string (*tooLong)()) const;
    void TakeTuples(std::string_view text);
    void KeepPartialTuple(std::string_view part, std::size_t line);
    template <typename LineOf> void AddVertex(std::string_view tuple, LineOf lineOf);
    void FinishCoordinates();
    void AddTrackPosition();
    void FinishTrack();
    std::size_t CurrentLine() const;
    KmlError ErrorHere(const std::string& reason) const;

    XML_Parser parser_;
    KmlGeometrySink& sink_;
    const std::string& displayName_;
    std::exception_ptr failure_;
    ElementClassifier classify_;
    long long lastEventIndex_ = 0;
    int depth_ = 0;
    bool rootSeen_ = false;
    KmlFeatureCounts counts_;
    // Depths of the elements being read; 0 outside one.
    int placemarkDepth_ = 0;
    bool placemarkNamed_ = false;
    int nameDepth_ = 0;
    std::string nameText_;
    std::string currentName_;  // of the placemark being read, empty outside one
    int coordinatesDepth_ = 0;
    std::vector<double> lonLatDeg_;
    std::string partialTuple_;  // a tuple cut by the end of a piece of text
    std::size_t partialTupleLine_ = 0;
    int trackDepth_ = 0;
    std::vector<double> trackLonLatDeg_;
    int coordDepth_ = 0;
    std::string coordText_;
    std::size_t coordLine_ = 0;  // where the position's text starts; 0 before it does
    int networkLinkDepth_ = 0;
    int linkDepth_ = 0;
    int hrefDepth_ = 0;
    std::string hrefText_;
};

KmlScanner::KmlScanner(XML_Parser parser, KmlGeometrySink& sink, const std::string& displayName)
    : parser_(parser), sink_(sink), displayName_(displayName)
{
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser_, OnText);
    // Comments, declarations and the like: only to keep the position current. The
    // Expand variant keeps internal entities expanded.
    XML_SetDefaultHandlerExpand(parser_, OnOther);
}

template <typename Step> void KmlScanner::Guarded(Step step)
{
    if (failure_)
        return;
    lastEventIndex_ = XML_GetCurrentByteIndex(parser_);
    try {
        step();
    } catch (...) {
        failure_ = std::current_exception();
        XML_StopParser(parser_, XML_FALSE);
    }
}

void XMLCALL KmlScanner::OnStart(void* self, const XML_Char* name, const XML_Char**)
{
    auto* scanner = static_cast<KmlScanner*>(self);
    scanner->Guarded([=] { scanner->Start(name); });
}

void XMLCALL KmlScanner::OnEnd(void* self, const XML_Char*)
{
    auto* scanner = static_cast<KmlScanner*>(self);
    scanner->Guarded([=] { scanner->End(); });
}

void XMLCALL KmlScanner::OnText(void* self, const XML_Char* text, int length)
{
    auto* scanner = static_cast<KmlScanner*>(self);
    scanner->Guarded([=] { scanner->Text(std::string_view(text, static_cast<std::size_t>(length))); });
}

void XMLCALL KmlScanner::OnOther(void* self, const XML_Char*, int)
{
    auto* scanner = static_cast<KmlScanner*>(self);
    scanner->Guarded([] {});
}

KmlError KmlScanner::ErrorHere(const std::string& reason) const
{
    return KmlReadError(displayName_, CurrentLine(), reason);
}

void KmlScanner::Start(std::string_view name)
{
    rootSeen_ = true;
    if (++depth_ > kMaxDepth)
        throw ErrorHere(
            i18n::Format(i18n::Translate("kml", "元素嵌套超过%1层"), {std::to_string(kMaxDepth)}));
    switch (classify_(name)) {
    case KmlElement::Placemark:
        ++counts_.placemarks;
        if (placemarkDepth_ == 0) {
            placemarkDepth_ = depth_;
            placemarkNamed_ = false;
        }
        break;
    case KmlElement::Name:
        if (placemarkDepth_ != 0 && depth_ == placemarkDepth_ + 1 && !placemarkNamed_) {
            nameDepth_ = depth_;
            nameText_.clear();
        }
        break;
    case KmlElement::Coordinates:
        if (coordinatesDepth_ == 0) {
            coordinatesDepth_ = depth_;
            lonLatDeg_.clear();
            partialTuple_.clear();
        }
        break;
    case KmlElement::Track:
        if (trackDepth_ == 0) {
            trackDepth_ = depth_;
            trackLonLatDeg_.clear();
        }
        break;
    case KmlElement::Coord:
        if (trackDepth_ != 0 && coordDepth_ == 0) {
            coordDepth_ = depth_;
            coordText_.clear();
            coordLine_ = 0;
        }
        break;
    case KmlElement::NetworkLink:
        if (networkLinkDepth_ == 0)
            networkLinkDepth_ = depth_;
        break;
    case KmlElement::Link:
        if (networkLinkDepth_ != 0 && depth_ == networkLinkDepth_ + 1)
            linkDepth_ = depth_;
        break;
    case KmlElement::Href:
        if (linkDepth_ != 0 && depth_ == linkDepth_ + 1 && hrefDepth_ == 0) {
            hrefDepth_ = depth_;
            hrefText_.clear();
        }
        break;
    case KmlElement::Model:
        ++counts_.models;
        break;
    case KmlElement::Overlay:
        ++counts_.overlays;
        break;
    case KmlElement::Other:
        break;
    }
}

void KmlScanner::End()
{
    if (depth_ == nameDepth_) {
        currentName_ = TrimXmlBlanks(nameText_);
        placemarkNamed_ = true;
        nameDepth_ = 0;
    }
    if (depth_ == coordinatesDepth_) {
        coordinatesDepth_ = 0;
        FinishCoordinates();
    }
    if (depth_ == coordDepth_) {
        coordDepth_ = 0;
        AddTrackPosition();
    }
    if (depth_ == trackDepth_) {
        trackDepth_ = 0;
        FinishTrack();
    }
    if (depth_ == hrefDepth_) {
        hrefDepth_ = 0;
        const std::string_view href = TrimXmlBlanks(hrefText_);
        if (!href.empty())
            sink_.OnNetworkLink(std::string(href));
    }
    if (depth_ == linkDepth_)
        linkDepth_ = 0;
    if (depth_ == networkLinkDepth_)
        networkLinkDepth_ = 0;
    if (depth_ == placemarkDepth_) {
        placemarkDepth_ = 0;
        currentName_.clear();
    }
    --depth_;
}

// `tooLong` makes the message only when it is needed: this runs for every piece of text.
void KmlScanner::AppendLimited(std::string& text, std::string_view piece, std::string (*tooLong)()) const
{
    if (text.size() + piece.size() > kMaxNameBytes)
        throw ErrorHere(tooLong());
    text.append(piece);
}

void KmlScanner::Text(std::string_view text)
{
    if (nameDepth_ != 0)
        AppendLimited(nameText_, text, [] { return i18n::Translate("kml", "名称超过4 MB"); });
    if (hrefDepth_ != 0)
        AppendLimited(hrefText_, text, [] { return i18n::Translate("kml", "链接地址超过4 MB"); });
    if (coordinatesDepth_ != 0)
        TakeTuples(text);
    if (coordDepth_ != 0) {
        if (coordLine_ == 0 && !TrimXmlBlanks(text).empty())
            coordLine_ = CurrentLine();
        if (coordText_.size() + text.size() > kMaxTupleBytes)
            throw ErrorHere(
                i18n::Format(i18n::Translate("kml", "轨迹坐标 %1 过长"), {Quoted(coordText_.append(text))}));
        coordText_.append(text);
    }
}

std::size_t KmlScanner::CurrentLine() const
{
    // Expat reports every line end as a piece of text of its own, so a piece never spans
    // lines and its start line is the line of every tuple in it.
    return XML_GetCurrentLineNumber(parser_);
}

void KmlScanner::TakeTuples(std::string_view text)
{
    std::size_t i = 0;
    if (!partialTuple_.empty()) {
        i = static_cast<std::size_t>(std::find_if(text.begin(), text.end(), IsXmlBlank) - text.begin());
        KeepPartialTuple(text.substr(0, i), partialTupleLine_);
        if (i == text.size())
            return;
        AddVertex(partialTuple_, [this] { return partialTupleLine_; });
        partialTuple_.clear();
    }
    while (i < text.size()) {
        while (i < text.size() && IsXmlBlank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsXmlBlank(text[i]))
            ++i;
        if (start == i)
            break;
        if (i == text.size()) {  // the tuple may go on in the next piece of text
            KeepPartialTuple(text.substr(start), CurrentLine());
            break;
        }
        AddVertex(text.substr(start, i - start), [this] { return CurrentLine(); });
    }
}

void KmlScanner::KeepPartialTuple(std::string_view part, std::size_t line)
{
    if (partialTuple_.empty())
        partialTupleLine_ = line;
    if (partialTuple_.size() + part.size() > kMaxTupleBytes)
        throw KmlReadError(
            displayName_, partialTupleLine_,
            i18n::Format(i18n::Translate("kml", "坐标 %1 过长"), {Quoted(partialTuple_.append(part))}));
    partialTuple_.append(part);
}

template <typename LineOf> void KmlScanner::AddVertex(std::string_view tuple, LineOf lineOf)
{
    try {
        const geodesy::GeoPoint point = ParseTuple(tuple);
        lonLatDeg_.push_back(point.lonDeg);
        lonLatDeg_.push_back(point.latDeg);
    } catch (const TupleError& error) {
        throw KmlReadError(displayName_, lineOf(), error.reason);
    }
}

void KmlScanner::FinishCoordinates()
{
    if (!partialTuple_.empty()) {
        AddVertex(partialTuple_, [this] { return partialTupleLine_; });
        partialTuple_.clear();
    }
    if (!lonLatDeg_.empty())
        sink_.OnCoordinates(lonLatDeg_, currentName_);
    if (lonLatDeg_.capacity() > kKeptCapacity)
        lonLatDeg_ = {};
    lonLatDeg_.clear();
}

void KmlScanner::AddTrackPosition()
{
    const std::string_view position = TrimXmlBlanks(coordText_);
    if (position.empty())
        return;
    try {
        const geodesy::GeoPoint point = ParseTrackPosition(position);
        trackLonLatDeg_.push_back(point.lonDeg);
        trackLonLatDeg_.push_back(point.latDeg);
    } catch (const TupleError& error) {
        throw KmlReadError(displayName_, coordLine_, error.reason);
    }
}

void KmlScanner::FinishTrack()
{
    if (!trackLonLatDeg_.empty())
        sink_.OnTrack(trackLonLatDeg_, currentName_);
    if (trackLonLatDeg_.capacity() > kKeptCapacity)
        trackLonLatDeg_ = {};
    trackLonLatDeg_.clear();
}

void KmlScanner::ThrowFailure() const
{
    if (failure_)
        std::rethrow_exception(failure_);
    const XML_Error code = XML_GetErrorCode(parser_);
    // A file without any element has no line worth naming.
    const bool noDocument = code == XML_ERROR_NO_ELEMENTS && !rootSeen_;
    throw KmlReadError(displayName_, noDocument ? 0 : XML_GetCurrentLineNumber(parser_),
                       XmlErrorReason(code, rootSeen_));
}

void KmlScanner::CheckPending(long long bytesFed) const
{
    if (PendingBytes(bytesFed) > kMaxPendingBytes)
        throw KmlReadError(displayName_, XML_GetCurrentLineNumber(parser_),
                           i18n::Translate("kml", "一个标记或注释超过16 MB，不是KML文件"));
}

void LimitEntityExpansion(XML_Parser parser)
{
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4)
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser, kMaxEntityAmplification);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser, kEntityCheckThresholdBytes);
#else
    (void)parser;
#endif
}

}  // namespace

KmlFeatureCounts ScanKml(KmlByteSource& source, const std::string& displayName, KmlGeometrySink& sink)
{
    KmlDecoder decoder(source, displayName);
    ParserHandle parser(XML_ParserCreateNS(decoder.ParserEncoding(), kNamespaceSeparator));
    if (!parser)
        throw std::bad_alloc();
    LimitEntityExpansion(parser.get());
    KmlScanner scanner(parser.get(), sink, displayName);
    long long bytesFed = 0;
    std::string batch;
    for (;;) {
        std::string_view piece = decoder.Next();
        const bool last = piece.empty();
        const long long pending = scanner.PendingBytes(bytesFed);
        if (pending > kLongTokenBytes || !batch.empty()) {
            batch.append(piece);
            if (!last && static_cast<long long>(batch.size()) < pending)
                continue;
            piece = batch;
        }
        if (XML_Parse(parser.get(), piece.data(), static_cast<int>(piece.size()), last) != XML_STATUS_OK)
            scanner.ThrowFailure();
        bytesFed += static_cast<long long>(piece.size());
        batch.clear();
        scanner.CheckPending(bytesFed);
        if (last)
            return scanner.counts();
    }
}

}  // namespace keldarn::kml
