#include "platform/MiniDumpFile.h"

#include "platform/MiniDumpFormat.h"
#include "platform/SignalSafeIo.h"

namespace platform {
namespace minidump {
namespace {

constexpr size_t kLongestString = 4096;
constexpr uint32_t kReplacement = 0xFFFD;

// One code point from UTF-8 at text; *used is how many bytes it took.
uint32_t DecodeOne(const unsigned char* text, size_t length, size_t* used) {
  const unsigned char lead = text[0];
  size_t extra = 0;
  uint32_t point = 0;
  uint32_t smallest = 0;
  if (lead < 0x80) {
    *used = 1;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, point = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, point = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, point = lead & 0x07, smallest = 0x10000;
  } else {
    *used = 1;
    return kReplacement;
  }
  if (extra >= length) {
    *used = 1;
    return kReplacement;
  }
  for (size_t i = 1; i <= extra; ++i) {
    if ((text[i] & 0xC0) != 0x80) {
      *used = 1;
      return kReplacement;
    }
    point = (point << 6) | (text[i] & 0x3F);
  }
  *used = extra + 1;
  const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
  return point < smallest || point > 0x10FFFF || surrogate ? kReplacement : point;
}

}  // namespace

size_t Utf8ToUtf16(const char* utf8, size_t length, uint16_t* out, size_t capacity) {
  const auto* text = reinterpret_cast<const unsigned char*>(utf8);
  size_t written = 0;
  size_t at = 0;
  while (at < length) {
    size_t used = 0;
    const uint32_t point = DecodeOne(text + at, length - at, &used);
    at += used;
    if (point >= 0x10000) {
      if (written + 2 > capacity) break;
      out[written++] = static_cast<uint16_t>(0xD800 + ((point - 0x10000) >> 10));
      out[written++] = static_cast<uint16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
    } else {
      if (written + 1 > capacity) break;
      out[written++] = static_cast<uint16_t>(point);
    }
  }
  return written;
}

void PutLocation(uint8_t* record, size_t offset, const Location& location) {
  Put32(record, offset, location.dataSize);
  Put32(record, offset + 4, location.rva);
}

MiniDumpFile::MiniDumpFile(int fd, uint32_t firstRva) : fd_(fd), next_(firstRva) {}

Location MiniDumpFile::Reserve(size_t size) {
  next_ = (next_ + 7) & ~uint64_t{7};
  Location location;
  if (failed_ || next_ + size > UINT32_MAX) {
    failed_ = true;
    return location;
  }
  location.dataSize = static_cast<uint32_t>(size);
  location.rva = static_cast<uint32_t>(next_);
  next_ += size;
  return location;
}

Location MiniDumpFile::Append(const void* data, size_t size) {
  const Location location = Reserve(size);
  if (failed_ || !WriteAt(location.rva, data, size)) return Location();
  return location;
}

Location MiniDumpFile::AppendString(const char* utf8, size_t length) {
  // Static: the crash handler lets one thread in at a time.
  static uint16_t units[kLongestString + 1];
  static uint8_t record[4 + 2 * (kLongestString + 1)];
  const size_t count =
      Utf8ToUtf16(utf8, length < kLongestString ? length : kLongestString, units, kLongestString);
  Put32(record, 0, static_cast<uint32_t>(count * 2));
  for (size_t i = 0; i < count; ++i) Put16(record, 4 + 2 * i, units[i]);
  Put16(record, 4 + 2 * count, 0);
  return Append(record, 4 + 2 * count + 2);
}

bool MiniDumpFile::WriteAt(uint32_t rva, const void* data, size_t size) {
  if (failed_) return false;
  if (!signalsafe::WriteAllAt(fd_, data, size, rva)) failed_ = true;
  return !failed_;
}

}  // namespace minidump
}  // namespace platform
