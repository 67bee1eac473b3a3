// Picture decoding through gdk-pixbuf (PNG, BMP, JPEG, GIF's first frame),
// installed as the toolkit's ImageDecoder (see ImageStore.h). Needs no display.
#pragma once

namespace ui {

// Installs the decoder once; safe to call again.
void InstallPixbufDecoder();

}  // namespace ui
