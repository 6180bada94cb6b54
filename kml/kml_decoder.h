#pragma once

// Brings the bytes of a KML file into a form the XML parser reads. KML is UTF-8 by
// default; a file may declare another encoding, and files of older Chinese tools are
// GB18030 (or GBK, its subset) without saying so.
//
// - A byte-order mark, UTF-16 text, or a declared encoding that expat knows itself
//   (UTF-8, UTF-16, ISO-8859-1, US-ASCII): the bytes go to the parser as they are.
// - Any other declared encoding (GBK, GB2312, GB18030, Big5, ...): converted to UTF-8
//   through iconv. GB2312 and GBK are read as GB18030, their superset, since files that
//   claim GB2312 often hold GBK characters.
// - No declared encoding: ASCII is the same in UTF-8 and GB18030, so the bytes pass
//   unchanged up to the first non-ASCII byte. There the text read so far (at least
//   64 KB from that byte, usually 256 KB) decides: valid UTF-8 means UTF-8 for the
//   whole file, anything else GB18030 from there on. A file whose first names are
//   valid UTF-8 and whose later text is not is then reported as an encoding error on
//   its line, not silently misread.

#include "kml/kml_input.h"
#include "encoding/text_encoding.h"

#include <memory>
#include <string>
#include <string_view>

namespace keldarn::kml {

class KmlDecoder {
public:
    // Reads the start of the document to find its encoding. Throws KmlError for a
    // declared encoding that cannot be converted.
    KmlDecoder(KmlByteSource& source, std::string displayName);

    // The encoding to create the parser with: nullptr lets the parser find it from the
    // byte-order mark or the declaration; "UTF-8" overrides the declaration, because the
    // decoder passes on UTF-8 whatever the file declares.
    const char* ParserEncoding() const { return parserEncoding_; }

    // The next piece of text for the parser; empty only at the end of the document.
    // Valid until the next call. Throws KmlError (naming the line) for bytes that are
    // not valid in the file's encoding, and what the source throws.
    std::string_view Next();

private:
    enum class Mode { PassThrough, Undecided, Convert };

    void Detect();
    bool ReadMore();
    std::string_view PassOn(std::size_t length);
    std::string_view NextUndecided();
    std::string_view NextConverted();
    void ChooseConverter(const char* encodingName);
    [[noreturn]] void ThrowUndecodable(std::string_view piece);

    KmlByteSource& source_;
    std::string displayName_;
    Mode mode_ = Mode::Undecided;
    const char* parserEncoding_ = "UTF-8";
    std::string encodingName_;
    std::unique_ptr<encoding::StreamConverter> converter_;
    std::string raw_;           // bytes read and not yet passed on
    std::string out_;           // the piece handed out last
    bool atEnd_ = false;        // the source has nothing more
    std::size_t lineEnds_ = 0;  // line ends handed out, for messages (not kept in pass-through)
};

}  // namespace keldarn::kml
