#include "platform/BoardInfo.h"

#include "platform/Encoding.h"
#include "platform/MachineFiles.h"

namespace platform {
namespace {

std::string ReadDmiText(const char* name) {
  const std::string path = machine_files::SysfsRoot() + "/class/dmi/id/" + name;
  return ToUtf8(FromUtf8(machine_files::ReadTrimmedFirstLine(path, 256)));
}

}  // namespace

std::string GetBoardVendor() { return ReadDmiText("board_vendor"); }

std::string GetBoardName() { return ReadDmiText("board_name"); }

}  // namespace platform
