#include "engine/thumbnail_mark.h"

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string_view>

namespace pelorin {

namespace {

constexpr std::string_view kMarkStart = "Pelorin2 thumbnail ";
constexpr std::string_view kPngKeyword{"Comment\0", 8};
constexpr std::string_view kWebpChunk = "PLR2";  // no WebP chunk of the format's own has it
constexpr std::size_t kHeadBytes = 1024;         // holds the mark of every format but WebP

std::string MarkText(int size) { return std::string(kMarkStart) + std::to_string(size); }

// The size in text when text is a mark, else nullopt.
std::optional<int> SizeOfMark(std::string_view text) {
  if (!text.starts_with(kMarkStart)) return std::nullopt;
  text.remove_prefix(kMarkStart.size());
  if (text.empty() || text.size() > 6) return std::nullopt;
  int size = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    size = size * 10 + (c - '0');
  }
  return size;
}

unsigned Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }
std::uint32_t Big16(std::string_view s, std::size_t i) { return Byte(s, i) << 8 | Byte(s, i + 1); }
std::uint32_t Big32(std::string_view s, std::size_t i) {
  return Big16(s, i) << 16 | Big16(s, i + 2);
}
std::uint32_t Little16(std::string_view s, std::size_t i) {
  return Byte(s, i + 1) << 8 | Byte(s, i);
}
std::uint32_t Little32(std::string_view s, std::size_t i) {
  return Little16(s, i + 2) << 16 | Little16(s, i);
}
std::string Little(std::uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
  return out;
}
std::string Big32Bytes(std::uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16 & 0xFF),
          static_cast<char>(value >> 8 & 0xFF), static_cast<char>(value & 0xFF)};
}

std::uint32_t Crc32(std::string_view data) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (const char c : data) {
    crc ^= static_cast<unsigned char>(c);
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
  }
  return ~crc;
}

// JPEG: a COM segment right after the start of image and its JFIF segment,
// which must come first.
std::size_t JpegMarkAt(std::string_view image) {
  std::size_t at = 2;
  if (image.size() >= at + 4 && Byte(image, at) == 0xFF && Byte(image, at + 1) == 0xE0) {
    at += 2 + Big16(image, at + 2);
  }
  return at;
}

// PNG: a tEXt chunk right after the header chunk.
constexpr std::size_t kPngMarkAt = 8 + 4 + 4 + 13 + 4;

// GIF: a comment extension right after the colour table.
std::size_t GifMarkAt(std::string_view image) {
  const unsigned packed = Byte(image, 10);
  return 13 + (packed & 0x80 ? 3u << ((packed & 7) + 1) : 0);
}

bool IsJpeg(std::string_view s) { return s.size() >= 4 && Big16(s, 0) == 0xFFD8; }
bool IsPng(std::string_view s) {
  return s.size() >= kPngMarkAt && s.substr(0, 8) == "\x89PNG\r\n\x1A\n" &&
         s.substr(12, 4) == "IHDR";
}
bool IsGif(std::string_view s) {
  return s.size() >= 13 && (s.substr(0, 6) == "GIF89a" || s.substr(0, 6) == "GIF87a");
}
bool IsWebp(std::string_view s) {
  return s.size() >= 20 && s.substr(0, 4) == "RIFF" && s.substr(8, 4) == "WEBP";
}

// The WebP container is written anew: the chunks of metadata libvips 8.14
// writes whatever it is told (a made-up EXIF block, XMP, the ICC profile)
// are dropped with their flags, and the mark goes last. A simple lossy
// WebP (one VP8 chunk) cannot hold other chunks: it is given the extended
// header, which says the canvas size. Thumbnails are never lossless, and
// one with alpha has the extended header already.
bool AddWebpMark(std::string* image, const std::string& text) {
  const std::string_view s = *image;
  std::string chunks;
  for (std::size_t at = 12; at + 8 <= s.size();) {
    const std::string_view fourcc = s.substr(at, 4);
    const std::size_t size = Little32(s, at + 4);
    const std::size_t whole = 8 + size + (size & 1);
    if (at + whole > s.size() + (size & 1)) return false;
    if (fourcc != "EXIF" && fourcc != "XMP " && fourcc != "ICCP") chunks += s.substr(at, whole);
    at += whole;
  }
  if (chunks.starts_with("VP8X") && chunks.size() >= 18) {
    chunks[8] = static_cast<char>(Byte(chunks, 8) & ~0x2C);  // ICC, EXIF and XMP flags
  } else if (chunks.starts_with("VP8 ") && chunks.size() >= 18 && Byte(chunks, 11) == 0x9D) {
    chunks = "VP8X" + Little(10, 4) + Little(0, 4) +
             Little((Little16(chunks, 14) & 0x3FFF) - 1, 3) +
             Little((Little16(chunks, 16) & 0x3FFF) - 1, 3) + chunks;
  } else {
    return false;
  }
  chunks += std::string(kWebpChunk) + Little(text.size(), 4) + text;
  if (text.size() % 2 != 0) chunks += '\0';
  *image = "RIFF" + Little(chunks.size() + 4, 4) + "WEBP" + chunks;
  return true;
}

std::optional<int> ReadWebpMark(int fd, std::string_view head) {
  // The mark is the last chunk; the chunks before it are walked by their
  // sizes, a header read each.
  off_t at = 12;
  const off_t end = 8 + static_cast<off_t>(Little32(head, 4));
  for (int chunk = 0; chunk < 64 && at + 8 <= end; ++chunk) {
    char buffer[8 + 32];  // a chunk header and a whole mark
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
    if (n < 8) return std::nullopt;
    const std::string_view got(buffer, static_cast<std::size_t>(n));
    const std::uint32_t size = Little32(got, 4);
    if (got.substr(0, 4) == kWebpChunk) return SizeOfMark(got.substr(8, size));
    at += 8 + static_cast<off_t>(size) + (size & 1);
  }
  return std::nullopt;
}

}  // namespace

bool AddThumbnailMark(std::string* image, ThumbnailFormat format, int size) {
  const std::string text = MarkText(size);
  switch (format) {
    case ThumbnailFormat::kJpeg: {
      if (!IsJpeg(*image)) return false;
      const std::size_t at = JpegMarkAt(*image);
      if (at > image->size()) return false;
      image->insert(at, "\xFF\xFE" +
                            std::string{static_cast<char>((text.size() + 2) >> 8),
                                        static_cast<char>((text.size() + 2) & 0xFF)} +
                            text);
      return true;
    }
    case ThumbnailFormat::kPng: {
      if (!IsPng(*image)) return false;
      const std::string body = "tEXt" + std::string(kPngKeyword) + text;
      image->insert(kPngMarkAt, Big32Bytes(body.size() - 4) + body + Big32Bytes(Crc32(body)));
      return true;
    }
    case ThumbnailFormat::kGif: {
      if (!IsGif(*image)) return false;
      const std::size_t at = GifMarkAt(*image);
      if (at > image->size()) return false;
      image->replace(3, 3, "89a");  // comments came with GIF89a
      image->insert(at, "\x21\xFE" + std::string(1, static_cast<char>(text.size())) + text +
                            std::string(1, '\0'));
      return true;
    }
    case ThumbnailFormat::kWebp:
      return IsWebp(*image) && AddWebpMark(image, text);
  }
  return false;
}

std::optional<int> ReadThumbnailMark(int fd) {
  char buffer[kHeadBytes];
  const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
  if (n <= 0) return std::nullopt;
  const std::string_view head(buffer, static_cast<std::size_t>(n));
  if (IsJpeg(head)) {
    const std::size_t at = JpegMarkAt(head);
    if (at + 4 > head.size() || Big16(head, at) != 0xFFFE) return std::nullopt;
    return SizeOfMark(head.substr(at + 4, Big16(head, at + 2) - 2));
  }
  if (IsPng(head)) {
    if (head.size() < kPngMarkAt + 8 || head.substr(kPngMarkAt + 4, 4) != "tEXt")
      return std::nullopt;
    const std::string_view data = head.substr(kPngMarkAt + 8, Big32(head, kPngMarkAt));
    if (!data.starts_with(kPngKeyword)) return std::nullopt;
    return SizeOfMark(data.substr(kPngKeyword.size()));
  }
  if (IsGif(head)) {
    const std::size_t at = GifMarkAt(head);
    if (at + 3 > head.size() || Big16(head, at) != 0x21FE) return std::nullopt;
    return SizeOfMark(head.substr(at + 3, Byte(head, at + 2)));
  }
  if (IsWebp(head)) return ReadWebpMark(fd, head);
  return std::nullopt;
}

std::optional<std::string> PngPixelChunks(std::string_view png) {
  if (!IsPng(png) || Big32(png, 8) != 13) return std::nullopt;  // the mark goes after the header
  std::string kept(png.substr(0, 8));
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::size_t length = Big32(png, at);
    if (length > png.size() - at - 12) return std::nullopt;
    const std::string_view type = png.substr(at + 4, 4);
    const bool pixels =
        type == "IHDR" || type == "PLTE" || type == "tRNS" || type == "IDAT" || type == "IEND";
    // A critical chunk of a kind not known here may change the pixels.
    if (!pixels && (Byte(type, 0) & 0x20) == 0) return std::nullopt;
    if (pixels) kept.append(png.substr(at, length + 12));
    if (type == "IEND") return kept;
    at += length + 12;
  }
  return std::nullopt;
}

}  // namespace pelorin
