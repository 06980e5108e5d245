// Images: #Image objects backed by GDI bitmaps or icons, built from data in
// memory (Windows bitmap files, icon files, and formats of registered
// decoders such as PNG), resized, and handed to gadgets by their handle.
#pragma once

#include <cstdint>

namespace kx {

// Image record of the #Image table.
struct ImageObject {
  void* handle;        // HBITMAP or HICON (GetObjectType tells them apart)
  int16_t width;
  int16_t height;
  uint8_t depth;       // bits per pixel of the bitmap (24 or 32 here)
  uint8_t flags;       // ImageDeviceDependent: display-compatible bitmap
};

constexpr uint8_t ImageDeviceDependent = 0x80;

// Library start and end (runtime start-up order: after the gadget library).
void ImageLibraryStart();
void ImageLibraryEnd();

void UsePNGImageDecoder();
void UsePNGImageEncoder();

// Image from a memory block: the handle for a number, the identity for
// DynamicNumber, 0 for unknown or damaged data (no image remains then).
intptr_t CatchImage(intptr_t image, const void* memory, int32_t size = 10000000);

// The image's handle, 0 if there is no such image.
intptr_t ImageID(intptr_t image);

// Stretches the image to width x height: mode 0 smooth (halftone), any other
// value raw (colour on colour).  The same size returns the current handle.
intptr_t ResizeImage(intptr_t image, int32_t width, int32_t height, int32_t mode = 0);

// Frees the image of a number or identity (also the table's release function).
void FreeImage(intptr_t image);

// The record of an image, nullptr if there is none (gadgets, viewer, tests).
ImageObject* FindImage(intptr_t image);

}  // namespace kx
