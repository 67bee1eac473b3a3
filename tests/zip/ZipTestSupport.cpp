#include "ZipTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <sstream>

#include "MD5.h"
#include "support/ChildProcess.h"

namespace ziptest {

namespace fs = std::filesystem;

namespace {

constexpr char kPythonReader[] = R"(import hashlib, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as archive:
    bad = archive.testzip()
    print("TEST\t" + ("" if bad is None else bad.encode("utf-8").hex()))
    for info in archive.infolist():
        name = info.filename
        if not info.flag_bits & 0x800:
            name = name.encode("cp437").decode("utf-8")
        print("\t".join(["ENTRY", name.encode("utf-8").hex(), str(info.compress_type),
                         str(info.flag_bits), str(info.create_system), str(info.create_version),
                         str(info.extract_version), ",".join(str(v) for v in info.date_time),
                         str(info.file_size), str(info.compress_size),
                         hashlib.md5(archive.read(info)).hexdigest()]))
)";

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, separator)) fields.push_back(field);
  if (!line.empty() && line.back() == separator) fields.push_back("");
  return fields;
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

PythonEntry ParseEntry(const std::vector<std::string>& fields) {
  PythonEntry entry;
  entry.name = FromHex(fields[1]);
  entry.compressType = std::stoi(fields[2]);
  entry.flagBits = std::stoi(fields[3]);
  entry.createSystem = std::stoi(fields[4]);
  entry.createVersion = std::stoi(fields[5]);
  entry.extractVersion = std::stoi(fields[6]);
  for (const std::string& part : Split(fields[7], ',')) entry.dateTime.push_back(std::stoi(part));
  entry.fileSize = std::stoull(fields[8]);
  entry.compressSize = std::stoull(fields[9]);
  entry.md5 = fields[10];
  return entry;
}

}  // namespace

PythonReading ReadWithPython(const std::string& archive, const std::string& workFolder) {
  PythonReading reading;
  fs::create_directories(workFolder);
  const std::string script = workFolder + "/read_zip.py";
  const std::string output = workFolder + "/python.out";
  testing_support::WriteFile(script, kPythonReader);
  testing_support::ChildProcess python("/usr/bin/python3", {script, archive}, output);
  if (!python.Started() || python.Wait(60000) != 0) return reading;
  std::stringstream lines(testing_support::ReadFile(output));
  std::string line;
  while (std::getline(lines, line)) {
    const std::vector<std::string> fields = Split(line, '\t');
    if (fields.size() == 2 && fields[0] == "TEST") {
      reading.ran = true;
      reading.firstBadFile = FromHex(fields[1]);
    } else if (fields.size() == 11 && fields[0] == "ENTRY") {
      reading.entries.push_back(ParseEntry(fields));
    }
  }
  return reading;
}

int TestWithUnzip(const std::string& archive, const std::string& workFolder) {
  fs::create_directories(workFolder);
  testing_support::ChildProcess unzip("/usr/bin/unzip", {"-tq", archive},
                                      workFolder + "/unzip.out");
  return unzip.Started() ? unzip.Wait(60000) : -1;
}

uint16_t Le16(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                               static_cast<unsigned char>(bytes[at + 1]) << 8);
}

uint32_t Le32(const std::string& bytes, size_t at) {
  return Le16(bytes, at) | static_cast<uint32_t>(Le16(bytes, at + 2)) << 16;
}

RawArchive ReadRaw(const std::string& bytes) {
  RawArchive archive;
  if (bytes.size() < 22 || Le32(bytes, bytes.size() - 22) != 0x06054b50) return archive;
  const size_t end = bytes.size() - 22;
  archive.entryCount = Le16(bytes, end + 10);
  archive.centralSize = Le32(bytes, end + 12);
  archive.centralOffset = Le32(bytes, end + 16);
  size_t at = archive.centralOffset;
  for (uint16_t i = 0; i < archive.entryCount; ++i) {
    if (at + 46 > bytes.size() || Le32(bytes, at) != 0x02014b50) return archive;
    RawEntry entry;
    entry.versionMadeBy = Le16(bytes, at + 4);
    entry.centralVersionNeeded = Le16(bytes, at + 6);
    entry.centralFlags = Le16(bytes, at + 8);
    entry.centralMethod = Le16(bytes, at + 10);
    entry.centralTime = Le16(bytes, at + 12);
    entry.centralDate = Le16(bytes, at + 14);
    entry.centralCrc = Le32(bytes, at + 16);
    entry.centralCompressed = Le32(bytes, at + 20);
    entry.centralUncompressed = Le32(bytes, at + 24);
    const uint16_t nameLength = Le16(bytes, at + 28);
    const uint16_t extraLength = Le16(bytes, at + 30);
    const uint16_t commentLength = Le16(bytes, at + 32);
    entry.localHeaderOffset = Le32(bytes, at + 42);
    entry.centralName = bytes.substr(at + 46, nameLength);
    entry.centralExtra = bytes.substr(at + 46 + nameLength, extraLength);
    at += 46 + nameLength + extraLength + commentLength;

    const size_t local = entry.localHeaderOffset;
    if (local + 30 > bytes.size() || Le32(bytes, local) != 0x04034b50) return archive;
    entry.localVersionNeeded = Le16(bytes, local + 4);
    entry.localFlags = Le16(bytes, local + 6);
    entry.localMethod = Le16(bytes, local + 8);
    entry.localTime = Le16(bytes, local + 10);
    entry.localDate = Le16(bytes, local + 12);
    entry.localCrc = Le32(bytes, local + 14);
    entry.localCompressed = Le32(bytes, local + 18);
    entry.localUncompressed = Le32(bytes, local + 22);
    const uint16_t localNameLength = Le16(bytes, local + 26);
    const uint16_t localExtraLength = Le16(bytes, local + 28);
    entry.localName = bytes.substr(local + 30, localNameLength);
    entry.localExtra = bytes.substr(local + 30 + localNameLength, localExtraLength);
    entry.dataOffset = static_cast<uint32_t>(local + 30 + localNameLength + localExtraLength);
    archive.entries.push_back(entry);
  }
  archive.parsed = at == archive.centralOffset + archive.centralSize && at == end;
  return archive;
}

bool EntriesAreContiguous(const RawArchive& archive) {
  uint32_t next = 0;
  for (const RawEntry& entry : archive.entries) {
    if (entry.localHeaderOffset != next) return false;
    next = entry.dataOffset + entry.localCompressed;
  }
  return archive.parsed && archive.centralOffset == next;
}

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
  return bytes;
}

std::string Md5Of(const std::string& bytes) {
  MD5 md5;
  md5.update(bytes.data(), bytes.size());
  md5.finalize();
  return md5.hexdigest();
}

std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& item : fs::directory_iterator(folder, error)) {
    names.push_back(item.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void ZipTest::SetUp() { fs::create_directories(Folder() + "/out"); }

std::string ZipTest::Source(const std::string& name, const std::string& bytes) {
  const std::string path = Folder() + "/sources/" + name;
  testing_support::WriteFile(path, bytes);
  return path;
}

}  // namespace ziptest
