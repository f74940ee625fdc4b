// Published properties of the controls and forms, for the form reader and writer.
#include <algorithm>
#include <cstring>

#include "framework/form_win.h"
#include "framework/ascii_text.h"
#include "framework/class_registry.h"
#include "framework/control_registry_win.h"
#include "framework/exceptions.h"

namespace {

struct TCursorName {
  TCursor Value;
  const char* Name;
};
constexpr TCursorName CursorNames[] = {
    {crDefault, "crDefault"},     {crNone, "crNone"},         {crArrow, "crArrow"},
    {crCross, "crCross"},         {crIBeam, "crIBeam"},       {crSizeNESW, "crSizeNESW"},
    {crSizeNS, "crSizeNS"},       {crSizeNWSE, "crSizeNWSE"}, {crSizeWE, "crSizeWE"},
    {crUpArrow, "crUpArrow"},     {crHourGlass, "crHourGlass"}, {crDrag, "crDrag"},
    {crNoDrop, "crNoDrop"},       {crNo, "crNo"},             {crAppStart, "crAppStart"},
    {crHelp, "crHelp"},           {crHandPoint, "crHandPoint"}, {crSizeAll, "crSizeAll"},
};

bool EndsWith(const std::string& s, const char* tail) {
  size_t n = std::strlen(tail);
  return s.size() >= n && SameTextAscii(s.substr(s.size() - n), tail);
}

bool IdentToValue(const std::string& ident, int64_t& value) {
  TColor color;
  if (ColorFromIdent(ident, color)) {
    value = color;
    return true;
  }
  int32_t charset;
  if (CharsetFromIdent(ident, charset)) {
    value = charset;
    return true;
  }
  for (const TCursorName& c : CursorNames)
    if (SameTextAscii(ident, c.Name)) {
      value = c.Value;
      return true;
    }
  return false;
}

// Which identifiers a property is written with follows from its name.
bool ValueToIdent(const std::string& propName, int64_t value, std::string& ident) {
  if (EndsWith(propName, "Color")) return ColorToIdent(TColor(value), ident);
  if (EndsWith(propName, "Charset")) return CharsetToIdent(int32_t(value), ident);
  if (EndsWith(propName, "Cursor"))
    for (const TCursorName& c : CursorNames)
      if (c.Value == value) {
        ident = c.Name;
        return true;
      }
  return false;
}

// The form whose methods a component's events name: the component itself
// when it is a form, else the form that owns it.
TCustomForm* MethodRoot(TPersistent* instance) {
  TComponent* c = dynamic_cast<TComponent*>(instance);
  while (c && !dynamic_cast<TCustomForm*>(c)) c = c->Owner();
  return static_cast<TCustomForm*>(c);
}

template <class C>
TPropInfo NotifyEventProp(std::string name, TNotifyEvent C::*event) {
  TPropInfo p;
  p.Name = name;
  p.Kind = TPropKind::pkMethod;
  p.GetMethod = [name](TPersistent* o) { return static_cast<C*>(o)->EventHandlerName(name); };
  p.SetMethod = [name, event](TPersistent* o, const std::string& handler) {
    C* instance = static_cast<C*>(o);
    if (handler.empty()) {
      instance->*event = nullptr;
      instance->SetEventHandlerName(name, "");
      return;
    }
    TCustomForm* root = MethodRoot(o);
    TNotifyEvent method = root ? root->FindMethod(handler) : TNotifyEvent();
    if (!method)
      throw EReadError("Method " + handler + " of " + name + " not found" +
                       (root ? " in " + std::string(root->ClassName()) : std::string()));
    instance->*event = std::move(method);
    instance->SetEventHandlerName(name, handler);
  };
  return p;
}

TPropInfo AsSet(TPropInfo p, std::vector<std::string> names) {
  p.Kind = TPropKind::pkSet;
  p.EnumNames = std::move(names);
  return p;
}

TPropInfo Unstored(TPropInfo p) {
  p.Stored = [](TPersistent*) { return false; };
  return p;
}

TClassInfo ClassInfo(std::string name, std::string parentName,
                     std::vector<TPropInfo> properties,
                     std::function<TComponent*(TComponent*)> create = nullptr) {
  TClassInfo info;
  info.Name = std::move(name);
  info.ParentName = std::move(parentName);
  info.Create = std::move(create);
  info.Properties = std::move(properties);
  return info;
}

TPropInfo ColorProp() {
  TPropInfo color =
      IntegerProp<TControl, TColor>("Color", &TControl::Color, &TControl::SetColor, 0, false);
  color.Stored = [](TPersistent* o) { return !static_cast<TControl*>(o)->ParentColor(); };
  return color;
}

TPropInfo FontProp() {
  TPropInfo font;
  font.Name = "Font";
  font.Kind = TPropKind::pkClass;
  font.GetNested = [](TPersistent* o) -> TPersistent* {
    return static_cast<TControl*>(o)->FontObject();
  };
  font.Stored = [](TPersistent* o) { return !static_cast<TControl*>(o)->ParentFont(); };
  return font;
}

TPropInfo ShowHintProp() {
  TPropInfo showHint =
      BooleanProp<TControl>("ShowHint", &TControl::ShowHint, &TControl::SetShowHint, false);
  showHint.Stored = [](TPersistent* o) { return !static_cast<TControl*>(o)->ParentShowHint(); };
  return showHint;
}

TPropInfo PopupMenuProp() {
  TPropInfo popupMenu;
  popupMenu.Name = "PopupMenu";
  popupMenu.Kind = TPropKind::pkComponent;
  popupMenu.GetComponent = [](TPersistent* o) { return static_cast<TControl*>(o)->PopupMenu(); };
  popupMenu.SetComponent = [](TPersistent* o, TComponent* c) {
    static_cast<TControl*>(o)->SetPopupMenu(c);
  };
  return popupMenu;
}

}  // namespace

TPropInfo ControlProperty(const std::string& name) {
  static const std::vector<TPropInfo> standard = [] {
    std::vector<TPropInfo> p{
        EnumProp<TControl, TAlign>("Align",
                                   {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"},
                                   &TControl::Align, &TControl::SetAlign, TAlign::alNone),
        AsSet(IntegerProp<TControl, TAnchors>("Anchors", &TControl::Anchors, &TControl::SetAnchors,
                                              AnchorBit(akLeft) | AnchorBit(akTop)),
              {"akLeft", "akTop", "akRight", "akBottom"}),
        ColorProp(),
        IntegerProp<TControl, TCursor>("Cursor", &TControl::Cursor, &TControl::SetCursor,
                                       crDefault),
        IntegerProp<TControl, TCursor>("DragCursor", &TControl::DragCursor,
                                       &TControl::SetDragCursor, crDrag),
        EnumProp<TControl, TDragKind>("DragKind", {"dkDrag", "dkDock"}, &TControl::DragKind,
                                      &TControl::SetDragKind, TDragKind::dkDrag),
        EnumProp<TControl, TDragMode>("DragMode", {"dmManual", "dmAutomatic"},
                                      &TControl::DragMode, &TControl::SetDragMode,
                                      TDragMode::dmManual),
        BooleanProp<TControl>("Enabled", &TControl::Enabled, &TControl::SetEnabled, true),
        FontProp(),
        StringProp<TControl>("Hint", &TControl::Hint, &TControl::SetHint),
        BooleanProp<TControl>("ParentColor", &TControl::ParentColor, &TControl::SetParentColor,
                              true),
        BooleanProp<TControl>("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true),
        BooleanProp<TControl>("ParentShowHint", &TControl::ParentShowHint,
                              &TControl::SetParentShowHint, true),
        PopupMenuProp(),
        ShowHintProp(),
        BooleanProp<TControl>("Visible", &TControl::Visible, &TControl::SetVisible, true),
        NotifyEventProp<TControl>("OnClick", &TControl::OnClick),
        NotifyEventProp<TControl>("OnDblClick", &TControl::OnDblClick)};
    return p;
  }();
  for (const TPropInfo& p : standard)
    if (SameTextAscii(p.Name, name)) return p;
  throw EComponentError("No control property " + name);
}

void RegisterControlClasses() {
  RegisterIntegerIdents(&IdentToValue, &ValueToIdent);

  // Every font property is written when the font is: the style too, even empty.
  RegisterClass(ClassInfo(
      "TFont", "",
      {IntegerProp<TFont, int32_t>("Charset", &TFont::Charset, &TFont::SetCharset,
                                   DEFAULT_CHARSET, false),
       IntegerProp<TFont, TColor>("Color", &TFont::Color, &TFont::SetColor, clWindowText, false),
       IntegerProp<TFont, int32_t>("Height", &TFont::Height, &TFont::SetHeight, 0, false),
       StringProp<TFont>("Name", &TFont::GetName, &TFont::SetName),
       AsSet(IntegerProp<TFont, TFontStyles>("Style", &TFont::Style, &TFont::SetStyle, 0, false),
             {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"})}));

  // A control publishes its bounds; each kind of control publishes the rest
  // of what it shows (ControlProperty), in an order of its own.
  TClassInfo control = ClassInfo(
      "TControl", "TComponent",
      {IntegerProp<TControl, int32_t>("Left", &TControl::Left, &TControl::SetLeft, 0, false),
       IntegerProp<TControl, int32_t>("Top", &TControl::Top, &TControl::SetTop, 0, false),
       IntegerProp<TControl, int32_t>("Width", &TControl::Width, &TControl::SetWidth, 0, false),
       IntegerProp<TControl, int32_t>("Height", &TControl::Height, &TControl::SetHeight, 0,
                                      false)});
  // A control read inside another one's object lies on it.
  control.SetParent = [](TComponent* child, TComponent* parent) {
    auto* c = dynamic_cast<TControl*>(child);
    auto* p = dynamic_cast<TWinControl*>(parent);
    if (c && p) c->SetParent(p);
  };
  RegisterClass(std::move(control));

  RegisterClass(ClassInfo("TGraphicControl", "TControl", {}));
  RegisterClass(ClassInfo("TWinControl", "TControl", {}));
  RegisterClass(ClassInfo("TCustomForm", "TWinControl", {}));

  // A form's own list, written in name order after the bounds. A form is
  // shown by Show, not by its stored Visible; Width and Height are stored,
  // the client size follows from them. Colour, OldCreateOrder, PixelsPerInch
  // and TextHeight are written even at their usual values.
  TPropInfo caption;
  caption.Name = "Caption";
  caption.Kind = TPropKind::pkWideString;
  caption.GetWideString = [](TPersistent* o) {
    return static_cast<TCustomForm*>(o)->GetCaption();
  };
  caption.SetWideString = [](TPersistent* o, const std::u16string& v) {
    static_cast<TCustomForm*>(o)->SetCaption(v);
  };
  std::vector<TPropInfo> form{
      caption,
      Unstored(IntegerProp<TControl, int32_t>("ClientWidth", &TControl::ClientWidth,
                                              &TControl::SetClientWidth, 0, false)),
      Unstored(IntegerProp<TControl, int32_t>("ClientHeight", &TControl::ClientHeight,
                                              &TControl::SetClientHeight, 0, false)),
      IntegerProp<TControl, TColor>("Color", &TControl::Color, &TControl::SetColor, 0, false),
      BooleanProp<TControl>("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, false),
      BooleanProp<TControl>("Visible", &TControl::Visible, &TControl::SetVisible, false),
      IntegerProp<TCustomForm, int32_t>("PixelsPerInch", &TCustomForm::PixelsPerInch,
                                        &TCustomForm::SetPixelsPerInch, 0, false),
      IntegerProp<TCustomForm, int32_t>("TextHeight", &TCustomForm::TextHeight,
                                        &TCustomForm::SetTextHeight, 0, false),
      BooleanProp<TCustomForm>("OldCreateOrder", &TCustomForm::OldCreateOrder,
                               &TCustomForm::SetOldCreateOrder, false),
      EnumProp<TCustomForm, TPosition>("Position", {"poDesigned", "poDefault", "poScreenCenter"},
                                       &TCustomForm::Position, &TCustomForm::SetPosition,
                                       TPosition::poDesigned),
      NotifyEventProp<TCustomForm>("OnCreate", &TCustomForm::OnCreate),
      NotifyEventProp<TCustomForm>("OnShow", &TCustomForm::OnShow),
      NotifyEventProp<TCustomForm>("OnHide", &TCustomForm::OnHide),
      NotifyEventProp<TCustomForm>("OnDestroy", &TCustomForm::OnDestroy)};
  for (const char* name : {"Align", "Anchors", "Cursor", "DragKind", "DragMode", "Enabled",
                           "Font", "Hint", "PopupMenu", "ShowHint", "OnClick", "OnDblClick"})
    form.push_back(ControlProperty(name));
  for (TPropInfo& p : form)  // OldCreateOrder is the platform's: written even when False
    if (p.Name == "OldCreateOrder") p.HasDefault = false;
  std::stable_sort(form.begin(), form.end(),
                   [](const TPropInfo& a, const TPropInfo& b) { return LessTextAscii(a.Name, b.Name); });
  RegisterClass(ClassInfo("TForm", "TCustomForm", std::move(form),
                          [](TComponent* owner) -> TComponent* { return new TForm(owner); }));
}
