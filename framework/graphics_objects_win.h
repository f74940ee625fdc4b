#pragma once
// Drawing objects: font, pen and brush with lazily created GDI handles, the
// canvas that selects them into a device context, and the graphic classes
// (bitmap, picture) that draw on a canvas.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/exceptions.h"
#include "framework/gdi_handles_win.h"
#include "framework/persistent.h"
#include "platform/colors.h"
#include "platform/rect.h"

// Bad sizes, scan lines of bitmaps that have none, and the like.
class EInvalidGraphicOperation : public Exception { public: using Exception::Exception; };
// The system refused a GDI object.
class EOutOfResources : public Exception { public: using Exception::Exception; };

// Colour identifiers as the form text writes them ("clBtnFace").
bool ColorFromIdent(const std::string& ident, TColor& color);  // ASCII case-insensitive
bool ColorToIdent(TColor color, std::string& ident);
// Character sets as the form text writes them ("DEFAULT_CHARSET").
bool CharsetFromIdent(const std::string& ident, int32_t& charset);
bool CharsetToIdent(int32_t charset, std::string& ident);

class TGraphicsObject : public TPersistent {
public:
  MV_CLASS_NAME(TGraphicsObject)
  std::function<void(TGraphicsObject*)> OnChange;

protected:
  // Drops the cached handle (deleted at the next Handle request, when no
  // canvas holds it selected any more) and tells OnChange.
  void Changed();
  bool FHandleStale = true;
};

enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = uint8_t;  // bit i: TFontStyle i
constexpr TFontStyles FontStyleBit(TFontStyle s) { return TFontStyles(1u << s); }

class TFont : public TGraphicsObject {
  std::string FName = "MS Sans Serif";
  int32_t FHeight = -11;
  TColor FColor = clWindowText;
  uint8_t FCharset = DEFAULT_CHARSET;
  TFontStyles FStyle = 0;
  int32_t FPixelsPerInch = 96;
  TOwnedFont FHandle;

public:
  MV_CLASS_NAME(TFont)
  const std::string& Name() const { return FName; }
  std::string GetName() const { return FName; }
  void SetName(const std::string& name);
  int32_t Height() const { return FHeight; }
  void SetHeight(int32_t height);
  // Points; Height is -Size * PixelsPerInch / 72, rounded.
  int32_t Size() const;
  void SetSize(int32_t size);
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  int32_t Charset() const { return FCharset; }
  void SetCharset(int32_t charset);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles style);
  int32_t PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int32_t ppi) { FPixelsPerInch = ppi > 0 ? ppi : 96; }

  HFONT Handle();
  void Assign(TPersistent* source) override;
};

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

class TPen : public TGraphicsObject {
  TColor FColor = clBlack;
  TPenStyle FStyle = TPenStyle::psSolid;
  int32_t FWidth = 1;
  TOwnedPen FHandle;

public:
  MV_CLASS_NAME(TPen)
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle style);
  int32_t Width() const { return FWidth; }
  void SetWidth(int32_t width);
  HPEN Handle();
  void Assign(TPersistent* source) override;
};

enum class TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal,
                         bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
  TColor FColor = clWhite;
  TBrushStyle FStyle = TBrushStyle::bsSolid;
  TOwnedBrush FHandle;

public:
  MV_CLASS_NAME(TBrush)
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle style);
  HBRUSH Handle();  // a clear brush answers the stock NULL_BRUSH
  void Assign(TPersistent* source) override;
};

class TGraphic;

// Draws through a device context that someone else owns (or that a
// descendant creates on demand). While it holds a handle, its pen, brush and
// font are selected into it; the objects they displaced go back when the
// handle changes or the canvas ends.
class TCanvas : public TPersistent {
  HDC FHandle = nullptr;
  TPen FPen;
  TBrush FBrush;
  TFont FFont;
  TSelectGuard FPenSelection, FBrushSelection, FFontSelection;
  POINT FPenPos{};

  void SelectObjects();
  void DeselectObjects();
  void PenChanged();
  void BrushChanged();
  void FontChanged();

protected:
  // Asked for a handle while none is set; may call SetHandle.
  virtual void CreateHandle() {}
  // The canvas let go of old (after deselecting its objects).
  virtual void HandleReleased(HDC /*old*/) {}

public:
  MV_CLASS_NAME(TCanvas)
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // Raises EInvalidGraphicOperation "Canvas does not allow drawing" when no
  // handle can be had.
  HDC Handle();
  HDC HandleOrNull() const { return FHandle; }
  bool HandleAllocated() const { return FHandle != nullptr; }
  void SetHandle(HDC dc);

  TPen& Pen() { return FPen; }
  TBrush& Brush() { return FBrush; }
  TFont& Font() { return FFont; }

  void FillRect(const TRect& rect);
  void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void MoveTo(int32_t x, int32_t y);
  void LineTo(int32_t x, int32_t y);
  POINT PenPos() const { return FPenPos; }
  void TextOut(int32_t x, int32_t y, const std::string& text);      // ANSI code page
  void TextOutW(int32_t x, int32_t y, const std::u16string& text);
  void Draw(int32_t x, int32_t y, TGraphic& graphic);
  void StretchDraw(const TRect& rect, TGraphic& graphic);
  // Copies (SRCCOPY, stretching when the sizes differ) from another canvas.
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
  COLORREF Pixel(int32_t x, int32_t y);
  void SetPixel(int32_t x, int32_t y, TColor color);
};

// Something that draws itself on a canvas at a rectangle.
class TGraphic : public TPersistent {
public:
  MV_CLASS_NAME(TGraphic)
  std::function<void(TGraphic*)> OnChange;

  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual void SetWidth(int32_t width) = 0;
  virtual void SetHeight(int32_t height) = 0;
  virtual bool Empty() const = 0;
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
  // A new empty graphic of the same class (pictures copy through this).
  virtual std::unique_ptr<TGraphic> NewInstance() const = 0;

protected:
  void Changed() {
    if (OnChange) OnChange(this);
  }
};

enum class TPixelFormat { pfDevice, pf24bit, pf32bit };
enum class TBitmapHandleType { bmDIB, bmDDB };

class TBitmap;

// The canvas of a bitmap: a memory device context of its own with the
// bitmap selected into it.
class TBitmapCanvas : public TCanvas {
  TBitmap* FBitmap;
  TOwnedMemoryDC FDC;
  TSelectGuard FBitmapSelection;

protected:
  void CreateHandle() override;
  void HandleReleased(HDC old) override;

public:
  explicit TBitmapCanvas(TBitmap* bitmap) : FBitmap(bitmap) {}
  ~TBitmapCanvas() override;
  // The bitmap's handle changed: put the new one in, or let go of the DC.
  void BitmapChanged();
};

// A device-dependent bitmap or a DIB section of 24 or 32 bits per pixel
// (top-down). Contents survive a change of size or format where they overlap.
class TBitmap : public TGraphic {
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  TPixelFormat FPixelFormat = TPixelFormat::pfDevice;
  TOwnedBitmapHandle FHandle;
  uint8_t* FBits = nullptr;  // DIB sections only; owned by FHandle
  int32_t FStride = 0;
  std::unique_ptr<TBitmapCanvas> FCanvas;

  void Recreate(int32_t width, int32_t height, TPixelFormat format);

public:
  MV_CLASS_NAME(TBitmap)
  TBitmap();
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int32_t Width() const override { return FWidth; }
  int32_t Height() const override { return FHeight; }
  // Negative sizes raise EInvalidGraphicOperation; a size the system cannot
  // give raises EOutOfResources and leaves the bitmap as it was.
  void SetWidth(int32_t width) override;
  void SetHeight(int32_t height) override;
  void SetSize(int32_t width, int32_t height);
  bool Empty() const override { return FWidth == 0 || FHeight == 0; }

  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat format);
  // pfDevice bitmaps are device-dependent; the others are DIB sections.
  TBitmapHandleType HandleType() const {
    return FPixelFormat == TPixelFormat::pfDevice ? TBitmapHandleType::bmDDB
                                                  : TBitmapHandleType::bmDIB;
  }
  // bmDDB makes it pfDevice; bmDIB makes a device bitmap pf32bit.
  void SetHandleType(TBitmapHandleType type);
  HBITMAP Handle() const { return FHandle.Get(); }

  // The first byte of a row of a DIB section (after GDI has finished its
  // drawing). A row outside 0..Height-1 or a bitmap that is no DIB raises
  // EInvalidGraphicOperation.
  void* ScanLine(int32_t row);
  TCanvas& Canvas();

  void Draw(TCanvas& canvas, const TRect& rect) override;
  std::unique_ptr<TGraphic> NewInstance() const override { return std::make_unique<TBitmap>(); }
  // From another TBitmap (format, size and pixels) or nil (empties it).
  void Assign(TPersistent* source) override;
};

// Holds at most one graphic, of any class.
class TPicture : public TPersistent {
  std::unique_ptr<TGraphic> FGraphic;

public:
  MV_CLASS_NAME(TPicture)
  std::function<void(TPicture*)> OnChange;

  TGraphic* Graphic() const { return FGraphic.get(); }
  // Holds a copy of graphic (nil: holds nothing).
  void SetGraphic(TGraphic* graphic);
  // The held graphic as a bitmap; a picture that holds anything else (or
  // nothing) is first made to hold an empty bitmap.
  TBitmap& Bitmap();
  int32_t Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int32_t Height() const { return FGraphic ? FGraphic->Height() : 0; }
  // From a picture, a graphic or nil.
  void Assign(TPersistent* source) override;

protected:
  void AssignTo(TPersistent* dest) override;
};
