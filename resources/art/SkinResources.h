#pragma once
// Registers the generated bitmaps and icons (":/bitmaps/131.bmp",
// ":/icons/128-32.png") with Qt's resource system; safe to call often.
void InitSkinResources();
