// The pictures a window draws, kept by name (the paint manager's images).
//
// Get loads a package picture on first use (from the package given at
// construction, else the current resource package), applies its mask colour
// and keeps it; a picture that is missing or cannot be decoded is logged once
// per name and drawn as nothing (Get returns null). Add registers a picture
// made at run time (the carousel's frames) under a name of its own; such a
// name is found like a package path (separators and letter case do not
// matter) and shadows a package file of the same name. RemoveAll drops every
// kept and registered picture at once; pictures handed out stay valid for
// their holders (shared ownership).
// Decoding is the backend's: SetImageDecoder installs it (the GTK backend
// does so when it starts); without one no package picture loads.
// Threads: any thread; the store locks itself. Decoding happens under the lock.
#pragma once
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "uitoolkit/Bitmap.h"

namespace ui {

class SkinPackage;

using ImageDecoder = std::function<bool(const std::vector<unsigned char>& bytes, Bitmap* out)>;
void SetImageDecoder(ImageDecoder decoder);
// Decodes with the installed decoder; false without one or on bad bytes.
bool DecodeImage(const std::vector<unsigned char>& bytes, Bitmap* out);

class ImageStore {
 public:
  explicit ImageStore(const SkinPackage* package = nullptr);

  BitmapPtr Get(const std::wstring& name, uint32_t mask = 0, bool hasMask = false);
  void Add(const std::wstring& name, Bitmap bitmap);
  // Whether a picture was registered under name with Add (package files do not count).
  bool Has(const std::wstring& name);
  void RemoveAll();

 private:
  static std::string Key(const std::wstring& name, uint32_t mask, bool hasMask);
  BitmapPtr Load(const std::wstring& name, uint32_t mask, bool hasMask);

  const SkinPackage* package_;
  std::mutex mutex_;
  std::map<std::string, BitmapPtr> registered_;
  std::map<std::string, BitmapPtr> loaded_;
  std::set<std::string> missingLogged_;
};

}  // namespace ui
