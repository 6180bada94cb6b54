#pragma once

// Text values of DXF files. The drawing keeps UTF-8. A DXF value on disk is 8-bit text
// whose encoding depends on the file's version and $DWGCODEPAGE, and which may carry
// escapes for characters outside that code page:
//   \U+XXXX    one UTF-16 code unit in four hex digits (every CAD program reads these);
//   \M+nXXXX   a double-byte character of an East Asian code page (n = 1 Shift-JIS,
//              2 Big5, 3 Wansung, 4 Johab, 5 GB2312), written by releases before R2007.
// Files of R2007 (AC1021) and later are UTF-8 whatever $DWGCODEPAGE says.

#include "encoding/text_encoding.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace keldarn::cad {

// The longest value (bytes) this program writes into a DXF file or reads from one:
// dxflib reads lines into buffers of 1024 characters and misbehaves on a longer one, so
// longer values are cut (DXF itself allows 2049 characters, single-line texts 256).
inline constexpr std::size_t kMaxDxfValueBytes = 1000;

// A value in ASCII only: printable ASCII stays, every other character becomes \U+XXXX
// (upper-case hex). Characters beyond the Basic Multilingual Plane are written as their
// UTF-16 surrogate pair, two escapes, which DecodeDxfEscapes joins again. Control
// characters are escaped too, so that a value never breaks its line, and so is a
// backslash that would read back as the start of an escape. Invalid UTF-8 bytes become
// U+FFFD.
std::string EncodeDxfText(std::string_view utf8);

// A value as this program writes it, in files that declare $DWGCODEPAGE ANSI_936: as
// EncodeDxfText, but every character GBK (code page 936) has is written as its two GBK
// bytes; only the others (CJK Extension B, emoji, the euro sign, whose one-byte code
// 0x80 GB18030 and most readers lack) become \U+XXXX escapes. Readers that ignore
// escapes (GDAL, ezdxf) still show Chinese text.
std::string EncodeDxfGbkText(std::string_view utf8);

// As EncodeDxfGbkText, but no longer than kMaxDxfValueBytes: a longer text is cut after
// its last character that fits whole (never inside a GBK character, an escape or a
// surrogate pair).
std::string EncodeDxfTextToFit(std::string_view utf8);

// Whether EncodeDxfTextToFit writes the text whole.
bool DxfTextFits(std::string_view utf8);

// A name of a table entry (layer, linetype, text style, font file) as this program
// writes it: an ASCII name as it is, any other as EncodeDxfGbkText writes it. Names in
// ASCII are not escaped because readers such as ezdxf take a backslash in a layer name
// for an error.
std::string EncodeDxfName(std::string_view utf8);

// Replaces \U+XXXX and \M+nXXXX escapes in UTF-8 text by the characters they stand
// for. A malformed escape stays as it is; a lone surrogate becomes U+FFFD.
std::string DecodeDxfEscapes(std::string_view utf8);

// The iconv name of a $DWGCODEPAGE value ("ANSI_936" → "GB18030", "ANSI_1252" →
// "CP1252"), or an empty text when the code page is unknown. Case is ignored.
std::string IconvNameOfCodePage(std::string_view dwgCodePage);

// Decodes the raw values of one file. Until the header has been read the decoder takes
// valid UTF-8 as it is and anything else as GB18030 (files of older Chinese tools).
class DxfTextDecoder {
public:
    DxfTextDecoder();
    ~DxfTextDecoder();
    DxfTextDecoder(const DxfTextDecoder&) = delete;
    DxfTextDecoder& operator=(const DxfTextDecoder&) = delete;

    // From the header: $ACADVER ("AC1015") and $DWGCODEPAGE ("ANSI_936").
    void SetVersion(std::string_view acadVer);
    void SetCodePage(std::string_view dwgCodePage);

    // Raw bytes of a value → UTF-8 with escapes resolved. Bytes that are invalid in the
    // file's encoding are read as UTF-8 when they are valid UTF-8, else as GB18030,
    // else each such byte becomes U+FFFD; decoding never fails.
    std::string Decode(std::string_view raw);

private:
    std::string ToUtf8(std::string_view raw);
    void Reopen();

    bool utf8File_ = false;
    std::string codePageEncoding_;
    std::unique_ptr<encoding::StreamConverter> converter_;
};

// Text as it looks on screen: the %% control codes of single-line texts resolved
// (%%d °, %%p ±, %%c ⌀, %%% %, %%nnn the character of that decimal code; %%u and %%o,
// which switch underline and overline, are dropped).
std::string DisplayTextOf(std::string_view text);

}  // namespace keldarn::cad
