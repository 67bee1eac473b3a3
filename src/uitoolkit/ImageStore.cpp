#include "uitoolkit/ImageStore.h"

#include <cstdio>

#include "Logging.h"
#include "platform/Encoding.h"
#include "uitoolkit/SkinPackage.h"

namespace ui {
namespace {

std::mutex& DecoderMutex() {
  static std::mutex mutex;
  return mutex;
}

ImageDecoder& Decoder() {
  static ImageDecoder decoder;
  return decoder;
}

}  // namespace

void SetImageDecoder(ImageDecoder decoder) {
  std::lock_guard<std::mutex> lock(DecoderMutex());
  Decoder() = std::move(decoder);
}

bool DecodeImage(const std::vector<unsigned char>& bytes, Bitmap* out) {
  ImageDecoder decoder;
  {
    std::lock_guard<std::mutex> lock(DecoderMutex());
    decoder = Decoder();
  }
  *out = Bitmap();
  return decoder && !bytes.empty() && decoder(bytes, out) && !out->IsEmpty();
}

ImageStore::ImageStore(const SkinPackage* package) : package_(package) {}

std::string ImageStore::Key(const std::wstring& name, uint32_t mask, bool hasMask) {
  std::string key = SkinPackage::NormalisePath(name);
  if (hasMask) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "|%08x", mask);
    key += suffix;
  }
  return key;
}

BitmapPtr ImageStore::Get(const std::wstring& name, uint32_t mask, bool hasMask) {
  if (name.empty()) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto registered = registered_.find(Key(name, 0, false));
  if (registered != registered_.end()) return registered->second;
  const std::string key = Key(name, mask, hasMask);
  const auto found = loaded_.find(key);
  if (found != loaded_.end()) return found->second;
  BitmapPtr bitmap = Load(name, mask, hasMask);
  if (bitmap) loaded_[key] = bitmap;
  return bitmap;
}

BitmapPtr ImageStore::Load(const std::wstring& name, uint32_t mask, bool hasMask) {
  const SkinPackage* package = package_ != nullptr ? package_ : GetResourcePackage();
  std::vector<unsigned char> bytes;
  Bitmap bitmap;
  if (package == nullptr || !package->ReadEntry(name, &bytes) || !DecodeImage(bytes, &bitmap)) {
    if (missingLogged_.insert(SkinPackage::NormalisePath(name)).second) {
      LOG(INFO) << " Skin picture missing or unreadable, drawn as nothing: "
                << platform::ToUtf8(name);
    }
    return nullptr;
  }
  if (hasMask) ApplyMask(&bitmap, mask);
  return std::make_shared<const Bitmap>(std::move(bitmap));
}

void ImageStore::Add(const std::wstring& name, Bitmap bitmap) {
  std::lock_guard<std::mutex> lock(mutex_);
  registered_[Key(name, 0, false)] = std::make_shared<const Bitmap>(std::move(bitmap));
}

bool ImageStore::Has(const std::wstring& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  return registered_.count(Key(name, 0, false)) != 0;
}

void ImageStore::RemoveAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  registered_.clear();
  loaded_.clear();
  missingLogged_.clear();
}

}  // namespace ui
