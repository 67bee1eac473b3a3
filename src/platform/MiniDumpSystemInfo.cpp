#include "platform/MiniDumpSystemInfo.h"

#include <sys/utsname.h>
#include <unistd.h>
#if defined(__x86_64__)
#include <cpuid.h>
#endif

#include <cstdlib>
#include <string>

#include "platform/MiniDumpContext.h"
#include "platform/PublishedText.h"

namespace platform {
namespace minidump {
namespace {

// Written before any crash can read it (start-up), then only read.
uint8_t g_record[kSystemInfoBytes];
PublishedText* const g_csdVersion = new PublishedText;

// "6.1.0-18-amd64" gives 6, 1 and 0.
void KernelVersion(const char* release, uint32_t numbers[3]) {
  const char* at = release;
  for (int i = 0; i < 3; ++i) {
    char* end = nullptr;
    numbers[i] = static_cast<uint32_t>(std::strtoul(at, &end, 10));
    if (end == at || *end != '.') break;
    at = end + 1;
  }
}

void PutProcessorFacts(uint8_t* record) {
#if defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
    // The vendor text "GenuineIntel" comes as ebx, edx, ecx.
    Put32(record, 32, ebx);
    Put32(record, 36, edx);
    Put32(record, 40, ecx);
  }
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
    const unsigned family = (eax >> 8) & 0xF;
    const unsigned extendedFamily = family == 0xF ? (eax >> 20) & 0xFF : 0;
    const unsigned model = (eax >> 4) & 0xF;
    const unsigned extendedModel = family == 0x6 || family == 0xF ? (eax >> 16) & 0xF : 0;
    Put16(record, 2, static_cast<uint16_t>(family + extendedFamily));
    Put16(record, 4, static_cast<uint16_t>(((extendedModel << 4 | model) << 8) | (eax & 0xF)));
    Put32(record, 44, eax);  // VersionInformation
    Put32(record, 48, edx);  // FeatureInformation
  }
  if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx)) Put32(record, 52, ecx);
#else
  (void)record;
#endif
}

}  // namespace

void PrepareSystemInfo() {
  uint8_t record[kSystemInfoBytes] = {};
  Put16(record, 0, ProcessorArchitecture());
  const long processors = sysconf(_SC_NPROCESSORS_ONLN);
  record[6] = static_cast<uint8_t>(processors > 255 ? 255 : processors < 1 ? 1 : processors);
  record[7] = kProductWorkstation;
  utsname names{};
  std::string csd;
  if (uname(&names) == 0) {
    uint32_t version[3] = {0, 0, 0};
    KernelVersion(names.release, version);
    Put32(record, 8, version[0]);
    Put32(record, 12, version[1]);
    Put32(record, 16, version[2]);
    csd = std::string(names.sysname) + " " + names.release + " " + names.version + " " +
          names.machine;
  }
  Put32(record, 20, kPlatformLinux);
  PutProcessorFacts(record);
  for (size_t i = 0; i < kSystemInfoBytes; ++i) g_record[i] = record[i];
  g_csdVersion->Set(csd);
}

const char* CopySystemInfo(uint8_t* out) {
  for (size_t i = 0; i < kSystemInfoBytes; ++i) out[i] = g_record[i];
  return g_csdVersion->Get();
}

}  // namespace minidump
}  // namespace platform
