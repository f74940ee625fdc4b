#include "framework/graphics_objects_win.h"
#include "framework/ascii_text.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

struct TColorName {
  TColor Value;
  const char* Name;
};

// Plain colours first, then the system colours (high bit and COLOR_ index).
constexpr TColorName ColorNames[] = {
    {0x000000, "clBlack"},
    {0x000080, "clMaroon"},
    {0x008000, "clGreen"},
    {0x008080, "clOlive"},
    {0x800000, "clNavy"},
    {0x800080, "clPurple"},
    {0x808000, "clTeal"},
    {0x808080, "clGray"},
    {0xC0C0C0, "clSilver"},
    {0x0000FF, "clRed"},
    {0x00FF00, "clLime"},
    {0x00FFFF, "clYellow"},
    {0xFF0000, "clBlue"},
    {0xFF00FF, "clFuchsia"},
    {0xFFFF00, "clAqua"},
    {0xFFFFFF, "clWhite"},
    {0xC0DCC0, "clMoneyGreen"},
    {0xF0CAA6, "clSkyBlue"},
    {0xF0FBFF, "clCream"},
    {0xA4A0A0, "clMedGray"},
    {clSystemColor | COLOR_SCROLLBAR, "clScrollBar"},
    {clSystemColor | COLOR_BACKGROUND, "clBackground"},
    {clSystemColor | COLOR_ACTIVECAPTION, "clActiveCaption"},
    {clSystemColor | COLOR_INACTIVECAPTION, "clInactiveCaption"},
    {clSystemColor | COLOR_MENU, "clMenu"},
    {clSystemColor | COLOR_WINDOW, "clWindow"},
    {clSystemColor | COLOR_WINDOWFRAME, "clWindowFrame"},
    {clSystemColor | COLOR_MENUTEXT, "clMenuText"},
    {clSystemColor | COLOR_WINDOWTEXT, "clWindowText"},
    {clSystemColor | COLOR_CAPTIONTEXT, "clCaptionText"},
    {clSystemColor | COLOR_ACTIVEBORDER, "clActiveBorder"},
    {clSystemColor | COLOR_INACTIVEBORDER, "clInactiveBorder"},
    {clSystemColor | COLOR_APPWORKSPACE, "clAppWorkSpace"},
    {clSystemColor | COLOR_HIGHLIGHT, "clHighlight"},
    {clSystemColor | COLOR_HIGHLIGHTTEXT, "clHighlightText"},
    {clSystemColor | COLOR_BTNFACE, "clBtnFace"},
    {clSystemColor | COLOR_BTNSHADOW, "clBtnShadow"},
    {clSystemColor | COLOR_GRAYTEXT, "clGrayText"},
    {clSystemColor | COLOR_BTNTEXT, "clBtnText"},
    {clSystemColor | COLOR_INACTIVECAPTIONTEXT, "clInactiveCaptionText"},
    {clSystemColor | COLOR_BTNHIGHLIGHT, "clBtnHighlight"},
    {clSystemColor | COLOR_3DDKSHADOW, "cl3DDkShadow"},
    {clSystemColor | COLOR_3DLIGHT, "cl3DLight"},
    {clSystemColor | COLOR_INFOTEXT, "clInfoText"},
    {clSystemColor | COLOR_INFOBK, "clInfoBk"},
    {clSystemColor | COLOR_HOTLIGHT, "clHotLight"},
    {clSystemColor | COLOR_GRADIENTACTIVECAPTION, "clGradientActiveCaption"},
    {clSystemColor | COLOR_GRADIENTINACTIVECAPTION, "clGradientInactiveCaption"},
    {clSystemColor | COLOR_MENUHILIGHT, "clMenuHighlight"},
    {clSystemColor | COLOR_MENUBAR, "clMenuBar"},
    {0x1FFFFFFF, "clNone"},
    {0x20000000, "clDefault"},
};

}  // namespace

bool ColorFromIdent(const std::string& ident, TColor& color) {
  for (const TColorName& c : ColorNames)
    if (SameTextAscii(ident, c.Name)) {
      color = c.Value;
      return true;
    }
  return false;
}

bool ColorToIdent(TColor color, std::string& ident) {
  for (const TColorName& c : ColorNames)
    if (c.Value == color) {
      ident = c.Name;
      return true;
    }
  return false;
}

namespace {
struct TCharsetName {
  int32_t Value;
  const char* Name;
};
constexpr TCharsetName CharsetNames[] = {
    {ANSI_CHARSET, "ANSI_CHARSET"},         {DEFAULT_CHARSET, "DEFAULT_CHARSET"},
    {SYMBOL_CHARSET, "SYMBOL_CHARSET"},     {MAC_CHARSET, "MAC_CHARSET"},
    {SHIFTJIS_CHARSET, "SHIFTJIS_CHARSET"}, {HANGEUL_CHARSET, "HANGEUL_CHARSET"},
    {JOHAB_CHARSET, "JOHAB_CHARSET"},       {GB2312_CHARSET, "GB2312_CHARSET"},
    {CHINESEBIG5_CHARSET, "CHINESEBIG5_CHARSET"}, {GREEK_CHARSET, "GREEK_CHARSET"},
    {TURKISH_CHARSET, "TURKISH_CHARSET"},   {VIETNAMESE_CHARSET, "VIETNAMESE_CHARSET"},
    {HEBREW_CHARSET, "HEBREW_CHARSET"},     {ARABIC_CHARSET, "ARABIC_CHARSET"},
    {BALTIC_CHARSET, "BALTIC_CHARSET"},     {RUSSIAN_CHARSET, "RUSSIAN_CHARSET"},
    {THAI_CHARSET, "THAI_CHARSET"},         {EASTEUROPE_CHARSET, "EASTEUROPE_CHARSET"},
    {OEM_CHARSET, "OEM_CHARSET"},
};
}  // namespace

bool CharsetFromIdent(const std::string& ident, int32_t& charset) {
  for (const TCharsetName& c : CharsetNames)
    if (SameTextAscii(ident, c.Name)) {
      charset = c.Value;
      return true;
    }
  return false;
}

bool CharsetToIdent(int32_t charset, std::string& ident) {
  for (const TCharsetName& c : CharsetNames)
    if (c.Value == charset) {
      ident = c.Name;
      return true;
    }
  return false;
}

// ---------------------------------------------------------------------------

void TGraphicsObject::Changed() {
  FHandleStale = true;
  if (OnChange) OnChange(this);
}

void TFont::SetName(const std::string& name) {
  if (name == FName) return;
  FName = name;
  Changed();
}

void TFont::SetHeight(int32_t height) {
  if (height == FHeight) return;
  FHeight = height;
  Changed();
}

int32_t TFont::Size() const { return -MulDiv(FHeight, 72, FPixelsPerInch); }

void TFont::SetSize(int32_t size) { SetHeight(-MulDiv(size, FPixelsPerInch, 72)); }

void TFont::SetColor(TColor color) {
  if (color == FColor) return;
  FColor = color;
  // The colour is not part of the GDI font; only tell the listeners.
  if (OnChange) OnChange(this);
}

void TFont::SetCharset(int32_t charset) {
  if (uint8_t(charset) == FCharset) return;
  FCharset = uint8_t(charset);
  Changed();
}

void TFont::SetStyle(TFontStyles style) {
  if (style == FStyle) return;
  FStyle = style;
  Changed();
}

HFONT TFont::Handle() {
  if (FHandleStale || !FHandle) {
    LOGFONTA lf{};
    lf.lfHeight = FHeight;
    lf.lfWeight = (FStyle & FontStyleBit(fsBold)) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (FStyle & FontStyleBit(fsItalic)) ? TRUE : FALSE;
    lf.lfUnderline = (FStyle & FontStyleBit(fsUnderline)) ? TRUE : FALSE;
    lf.lfStrikeOut = (FStyle & FontStyleBit(fsStrikeOut)) ? TRUE : FALSE;
    lf.lfCharSet = FCharset;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH;
    // Longer names are cut to what LOGFONT holds.
    std::strncpy(lf.lfFaceName, FName.c_str(), LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectA(&lf);
    if (!font) throw EOutOfResources("Out of system resources");
    FHandle.Reset(font);
    FHandleStale = false;
  }
  return FHandle.Get();
}

void TFont::Assign(TPersistent* source) {
  if (auto* f = dynamic_cast<TFont*>(source)) {
    if (f == this) return;
    FName = f->FName;
    FHeight = f->FHeight;
    FColor = f->FColor;
    FCharset = f->FCharset;
    FStyle = f->FStyle;
    FPixelsPerInch = f->FPixelsPerInch;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TPen::SetColor(TColor color) {
  if (color == FColor) return;
  FColor = color;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == FStyle) return;
  FStyle = style;
  Changed();
}

void TPen::SetWidth(int32_t width) {
  if (width < 0) width = 0;
  if (width == FWidth) return;
  FWidth = width;
  Changed();
}

HPEN TPen::Handle() {
  if (FHandleStale || !FHandle) {
    static constexpr int Styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT,
                                     PS_NULL, PS_INSIDEFRAME};
    HPEN pen = CreatePen(Styles[int(FStyle)], FWidth, ColorToRGB(FColor));
    if (!pen) throw EOutOfResources("Out of system resources");
    FHandle.Reset(pen);
    FHandleStale = false;
  }
  return FHandle.Get();
}

void TPen::Assign(TPersistent* source) {
  if (auto* p = dynamic_cast<TPen*>(source)) {
    if (p == this) return;
    FColor = p->FColor;
    FStyle = p->FStyle;
    FWidth = p->FWidth;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TBrush::SetColor(TColor color) {
  if (color == FColor) return;
  FColor = color;
  // A coloured brush is solid; a clear one stops being clear.
  if (FStyle == TBrushStyle::bsClear) FStyle = TBrushStyle::bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == FStyle) return;
  FStyle = style;
  Changed();
}

HBRUSH TBrush::Handle() {
  if (FStyle == TBrushStyle::bsClear) return HBRUSH(GetStockObject(NULL_BRUSH));
  if (FHandleStale || !FHandle) {
    HBRUSH brush = nullptr;
    if (FStyle == TBrushStyle::bsSolid) {
      brush = CreateSolidBrush(ColorToRGB(FColor));
    } else {
      static constexpr int Hatches[] = {0, 0, HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL,
                                        HS_BDIAGONAL, HS_CROSS, HS_DIAGCROSS};
      brush = CreateHatchBrush(Hatches[int(FStyle)], ColorToRGB(FColor));
    }
    if (!brush) throw EOutOfResources("Out of system resources");
    FHandle.Reset(brush);
    FHandleStale = false;
  }
  return FHandle.Get();
}

void TBrush::Assign(TPersistent* source) {
  if (auto* b = dynamic_cast<TBrush*>(source)) {
    if (b == this) return;
    FColor = b->FColor;
    FStyle = b->FStyle;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

// ---------------------------------------------------------------------------

TCanvas::TCanvas() {
  FPen.OnChange = [this](TGraphicsObject*) { PenChanged(); };
  FBrush.OnChange = [this](TGraphicsObject*) { BrushChanged(); };
  FFont.OnChange = [this](TGraphicsObject*) { FontChanged(); };
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

HDC TCanvas::Handle() {
  if (!FHandle) CreateHandle();
  if (!FHandle) throw EInvalidGraphicOperation("Canvas does not allow drawing");
  return FHandle;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == FHandle) return;
  HDC old = FHandle;
  if (old) {
    DeselectObjects();
    FHandle = nullptr;
    HandleReleased(old);
  }
  FHandle = dc;
  if (dc) SelectObjects();
}

void TCanvas::SelectObjects() {
  FPenSelection = TSelectGuard(FHandle, FPen.Handle());
  FBrushSelection = TSelectGuard(FHandle, FBrush.Handle());
  FFontSelection = TSelectGuard(FHandle, FFont.Handle());
  SetTextColor(FHandle, ColorToRGB(FFont.Color()));
  SetBkColor(FHandle, ColorToRGB(FBrush.Color()));
  SetBkMode(FHandle, FBrush.Style() == TBrushStyle::bsClear ? TRANSPARENT : OPAQUE);
  MoveToEx(FHandle, FPenPos.x, FPenPos.y, nullptr);
}

void TCanvas::DeselectObjects() {
  FFontSelection.Restore();
  FBrushSelection.Restore();
  FPenSelection.Restore();
}

// A changed object gets a new GDI handle; the stock object goes in first so
// that the old handle is no longer selected when its owner deletes it.
void TCanvas::PenChanged() {
  if (!FHandle) return;
  FPenSelection.Reselect(GetStockObject(BLACK_PEN));
  FPenSelection.Reselect(FPen.Handle());
}

void TCanvas::BrushChanged() {
  if (!FHandle) return;
  FBrushSelection.Reselect(GetStockObject(NULL_BRUSH));
  FBrushSelection.Reselect(FBrush.Handle());
  SetBkColor(FHandle, ColorToRGB(FBrush.Color()));
  SetBkMode(FHandle, FBrush.Style() == TBrushStyle::bsClear ? TRANSPARENT : OPAQUE);
}

void TCanvas::FontChanged() {
  if (!FHandle) return;
  FFontSelection.Reselect(GetStockObject(SYSTEM_FONT));
  FFontSelection.Reselect(FFont.Handle());
  SetTextColor(FHandle, ColorToRGB(FFont.Color()));
}

void TCanvas::FillRect(const TRect& rect) {
  HDC dc = Handle();
  RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
  ::FillRect(dc, &r, FBrush.Handle());
}

void TCanvas::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  ::Rectangle(Handle(), left, top, right, bottom);
}

void TCanvas::MoveTo(int32_t x, int32_t y) {
  ::MoveToEx(Handle(), x, y, nullptr);
  FPenPos = {x, y};
}

void TCanvas::LineTo(int32_t x, int32_t y) {
  ::LineTo(Handle(), x, y);
  FPenPos = {x, y};
}

void TCanvas::TextOut(int32_t x, int32_t y, const std::string& text) {
  ::TextOutA(Handle(), x, y, text.data(), int(std::min<size_t>(text.size(), INT_MAX)));
}

void TCanvas::TextOutW(int32_t x, int32_t y, const std::u16string& text) {
  ::TextOutW(Handle(), x, y, reinterpret_cast<const wchar_t*>(text.data()),
             int(std::min<size_t>(text.size(), INT_MAX)));
}

void TCanvas::Draw(int32_t x, int32_t y, TGraphic& graphic) {
  if (graphic.Empty()) return;
  graphic.Draw(*this, Rect(x, y, x + graphic.Width(), y + graphic.Height()));
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic& graphic) {
  if (graphic.Empty()) return;
  graphic.Draw(*this, rect);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
  HDC dc = Handle();
  HDC src = source.Handle();
  int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, dest.Left, dest.Top, RectWidth(dest), RectHeight(dest), src, sourceRect.Left,
             sourceRect.Top, RectWidth(sourceRect), RectHeight(sourceRect), SRCCOPY);
  SetStretchBltMode(dc, oldMode);
}

COLORREF TCanvas::Pixel(int32_t x, int32_t y) { return ::GetPixel(Handle(), x, y); }

void TCanvas::SetPixel(int32_t x, int32_t y, TColor color) {
  ::SetPixel(Handle(), x, y, ColorToRGB(color));
}

// ---------------------------------------------------------------------------

TBitmapCanvas::~TBitmapCanvas() { SetHandle(nullptr); }

void TBitmapCanvas::CreateHandle() {
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) throw EOutOfResources("Out of system resources");
  FDC.Reset(dc);
  FBitmapSelection = TSelectGuard(dc, FBitmap->Handle());
  SetHandle(dc);
}

void TBitmapCanvas::HandleReleased(HDC old) {
  if (old != FDC.Get()) return;
  FBitmapSelection.Restore();
  FDC.Reset();
}

void TBitmapCanvas::BitmapChanged() {
  if (!FDC) return;
  if (FBitmap->Handle()) {
    if (!FBitmapSelection.Active())
      FBitmapSelection = TSelectGuard(FDC.Get(), FBitmap->Handle());
    else
      FBitmapSelection.Reselect(FBitmap->Handle());
  } else {
    FBitmapSelection.Restore();
  }
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  FCanvas.reset();  // deselects the bitmap before the handle goes
}

void TBitmap::Recreate(int32_t width, int32_t height, TPixelFormat format) {
  if (width < 0 || height < 0) throw EInvalidGraphicOperation("Invalid image size");
  TOwnedBitmapHandle fresh;
  uint8_t* bits = nullptr;
  int32_t stride = 0;
  if (width > 0 && height > 0) {
    if (format == TPixelFormat::pfDevice) {
      TWindowDC screen(nullptr);
      fresh.Reset(CreateCompatibleBitmap(screen.Get(), width, height));
    } else {
      int bpp = format == TPixelFormat::pf32bit ? 32 : 24;
      int64_t rowBytes = ((int64_t(width) * bpp + 31) / 32) * 4;
      if (rowBytes * height > INT32_MAX) throw EOutOfResources("Out of system resources");
      BITMAPINFO bi{};
      bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
      bi.bmiHeader.biWidth = width;
      bi.bmiHeader.biHeight = -height;  // top-down
      bi.bmiHeader.biPlanes = 1;
      bi.bmiHeader.biBitCount = WORD(bpp);
      bi.bmiHeader.biCompression = BI_RGB;
      void* p = nullptr;
      fresh.Reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0));
      bits = static_cast<uint8_t*>(p);
      stride = int32_t(rowBytes);
    }
    if (!fresh) throw EOutOfResources("Out of system resources");

    // New pixels are white; the old picture is kept where the two overlap.
    TOwnedMemoryDC dst(CreateCompatibleDC(nullptr));
    if (!dst) throw EOutOfResources("Out of system resources");
    TSelectGuard selectFresh(dst.Get(), fresh.Get());
    PatBlt(dst.Get(), 0, 0, width, height, WHITENESS);
    if (FHandle && FWidth > 0 && FHeight > 0) {
      HDC src = FCanvas && FCanvas->HandleAllocated() ? FCanvas->HandleOrNull() : nullptr;
      TOwnedMemoryDC temp;
      TSelectGuard selectOld;
      if (!src) {
        temp.Reset(CreateCompatibleDC(nullptr));
        selectOld = TSelectGuard(temp.Get(), FHandle.Get());
        src = temp.Get();
      }
      BitBlt(dst.Get(), 0, 0, std::min(width, FWidth), std::min(height, FHeight), src, 0, 0,
             SRCCOPY);
    }
  }
  GdiFlush();
  // The canvas lets go of the old bitmap before it is deleted.
  HBITMAP old = FHandle.Release();
  FHandle.Reset(fresh.Release());
  FBits = bits;
  FStride = stride;
  FWidth = width;
  FHeight = height;
  FPixelFormat = format;
  if (FCanvas) FCanvas->BitmapChanged();
  if (old) DeleteObject(old);
  Changed();
}

void TBitmap::SetWidth(int32_t width) {
  if (width != FWidth) Recreate(width, FHeight, FPixelFormat);
}

void TBitmap::SetHeight(int32_t height) {
  if (height != FHeight) Recreate(FWidth, height, FPixelFormat);
}

void TBitmap::SetSize(int32_t width, int32_t height) {
  if (width != FWidth || height != FHeight) Recreate(width, height, FPixelFormat);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format != FPixelFormat) Recreate(FWidth, FHeight, format);
}

void TBitmap::SetHandleType(TBitmapHandleType type) {
  if (type == HandleType()) return;
  SetPixelFormat(type == TBitmapHandleType::bmDDB ? TPixelFormat::pfDevice
                                                  : TPixelFormat::pf32bit);
}

void* TBitmap::ScanLine(int32_t row) {
  if (!FBits) throw EInvalidGraphicOperation("Bitmap has no scan lines");
  if (row < 0 || row >= FHeight) throw EInvalidGraphicOperation("Scan line index out of range");
  GdiFlush();
  return FBits + size_t(row) * size_t(FStride);
}

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TBitmapCanvas>(this);
  return *FCanvas;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty() || !FHandle) return;
  HDC dc = canvas.Handle();
  HDC src = Canvas().Handle();
  int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, rect.Left, rect.Top, RectWidth(rect), RectHeight(rect), src, 0, 0, FWidth,
             FHeight, SRCCOPY);
  SetStretchBltMode(dc, oldMode);
}

void TBitmap::Assign(TPersistent* source) {
  if (source == nullptr) {
    Recreate(0, 0, FPixelFormat);
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(source)) {
    if (b == this) return;
    Recreate(0, 0, b->FPixelFormat);
    Recreate(b->FWidth, b->FHeight, b->FPixelFormat);
    if (!b->Empty() && b->FHandle)
      BitBlt(Canvas().Handle(), 0, 0, FWidth, FHeight, b->Canvas().Handle(), 0, 0, SRCCOPY);
    GdiFlush();
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

// ---------------------------------------------------------------------------

void TPicture::SetGraphic(TGraphic* graphic) {
  if (graphic == FGraphic.get() && graphic) return;
  std::unique_ptr<TGraphic> copy;
  if (graphic) {
    copy = graphic->NewInstance();
    copy->Assign(graphic);
  }
  FGraphic = std::move(copy);
  if (FGraphic) FGraphic->OnChange = [this](TGraphic*) { if (OnChange) OnChange(this); };
  if (OnChange) OnChange(this);
}

TBitmap& TPicture::Bitmap() {
  auto* bitmap = dynamic_cast<TBitmap*>(FGraphic.get());
  if (!bitmap) {
    auto fresh = std::make_unique<TBitmap>();
    bitmap = fresh.get();
    FGraphic = std::move(fresh);
    FGraphic->OnChange = [this](TGraphic*) { if (OnChange) OnChange(this); };
    if (OnChange) OnChange(this);
  }
  return *bitmap;
}

void TPicture::Assign(TPersistent* source) {
  if (source == nullptr) {
    SetGraphic(nullptr);
  } else if (auto* p = dynamic_cast<TPicture*>(source)) {
    if (p != this) SetGraphic(p->Graphic());
  } else if (auto* g = dynamic_cast<TGraphic*>(source)) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::AssignTo(TPersistent* dest) {
  if (auto* g = dynamic_cast<TGraphic*>(dest); g && FGraphic) {
    g->Assign(FGraphic.get());
    return;
  }
  TPersistent::AssignTo(dest);
}
