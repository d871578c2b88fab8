// The stored classes of the framework's controls: what a description may say of each.

#include "framework/ClassRegistry.h"
#include "framework/Controls.h"
#include "framework/FormReader.h"
#include "framework/StdControls.h"

#include <cstdlib>
#include <functional>

namespace tolvar {

namespace {

// Far beyond any readable text, and well inside what the font engines take.
constexpr int kMaxFontHeight = 1000;

TControl& C(TComponent& c) {
    return TClassInfo::As<TControl>(c);
}

void SetFontPart(TComponent& c, const std::function<void(TFont&)>& change) {
    TFont f = C(c).Font();
    change(f);
    C(c).SetFont(f);
}

} // namespace

TColor ParseColor(const TStoredValue& value) {
    const std::string& t = value.text;
    struct Named {
        const char* name;
        TColor color;
    };
    static const Named named[] = {{"clBtnFace", clBtnFace},
                                  {"clWindow", clWindow},
                                  {"clWindowText", clWindowText},
                                  {"clBtnText", clBtnText},
                                  {"clBtnShadow", clBtnShadow},
                                  {"clGrayText", clGrayText},
                                  {"clBtnHighlight", clBtnHighlight},
                                  {"clBlack", 0x000000},
                                  {"clMaroon", 0x000080},
                                  {"clGreen", 0x008000},
                                  {"clOlive", 0x008080},
                                  {"clNavy", 0x800000},
                                  {"clPurple", 0x800080},
                                  {"clTeal", 0x808000},
                                  {"clGray", 0x808080},
                                  {"clSilver", 0xC0C0C0},
                                  {"clRed", 0x0000FF},
                                  {"clLime", 0x00FF00},
                                  {"clYellow", 0x00FFFF},
                                  {"clBlue", 0xFF0000},
                                  {"clFuchsia", 0xFF00FF},
                                  {"clAqua", 0xFFFF00},
                                  {"clWhite", 0xFFFFFF}};
    for (const Named& n : named)
        if (t == n.name)
            return n.color;
    // "$00BBGGRR", the stored form of an explicit colour.
    if (t.size() == 9 && t[0] == '$' && t[1] == '0' && t[2] == '0') {
        char* end = nullptr;
        const unsigned long v = std::strtoul(t.c_str() + 1, &end, 16);
        if (end == t.c_str() + t.size())
            return static_cast<TColor>(v & 0xFFFFFF);
    }
    throw Exception("Invalid colour value '" + t + "'");
}

void RegisterControlClasses(TClassRegistry& registry) {
    TClassInfo& control = registry.Register("TControl", "");
    control
        .Property("Left",
                  [](TComponent& c, const TStoredValue& v) {
                      C(c).SetLeft(ParseInt(v, kMinCoord, kMaxCoord));
                  })
        .Property("Top",
                  [](TComponent& c, const TStoredValue& v) {
                      C(c).SetTop(ParseInt(v, kMinCoord, kMaxCoord));
                  })
        .Property("Width", [](TComponent& c,
                              const TStoredValue& v) { C(c).SetWidth(ParseInt(v, 0, kMaxCoord)); })
        .Property(
            "Height",
            [](TComponent& c, const TStoredValue& v) { C(c).SetHeight(ParseInt(v, 0, kMaxCoord)); })
        .Property("Align",
                  [](TComponent& c, const TStoredValue& v) {
                      C(c).SetAlign(static_cast<TAlign>(
                          ParseEnumName(v.text, {{"alNone", static_cast<int>(TAlign::None)},
                                                 {"alClient", static_cast<int>(TAlign::Client)}})));
                  })
        .Property("Visible",
                  [](TComponent& c, const TStoredValue& v) { C(c).SetVisible(ParseBool(v)); })
        .Property("Enabled",
                  [](TComponent& c, const TStoredValue& v) { C(c).SetEnabled(ParseBool(v)); })
        .Property("TabOrder",
                  [](TComponent& c, const TStoredValue& v) {
                      C(c).SetTabOrder(ParseInt(v, 0, kMaxCoord));
                  })
        .Property("Color",
                  [](TComponent& c, const TStoredValue& v) { C(c).SetColor(ParseColor(v)); })
        .Property("Font.Name",
                  [](TComponent& c, const TStoredValue& v) {
                      SetFontPart(c, [&](TFont& f) { f.name = v.text; });
                  })
        .Property("Font.Height",
                  [](TComponent& c, const TStoredValue& v) {
                      const int h = ParseInt(v, -kMaxFontHeight, kMaxFontHeight);
                      if (h == 0)
                          throw Exception("Invalid font height '" + v.text + "'");
                      SetFontPart(c, [&](TFont& f) { f.height = h; });
                  })
        .Property("Font.Style",
                  [](TComponent& c, const TStoredValue& v) {
                      const auto names = ParseSetNames(v);
                      SetFontPart(c, [&](TFont& f) {
                          f.bold = f.italic = f.underline = f.strikeOut = false;
                          for (const std::string& n : names) {
                              if (n == "fsBold")
                                  f.bold = true;
                              else if (n == "fsItalic")
                                  f.italic = true;
                              else if (n == "fsUnderline")
                                  f.underline = true;
                              else if (n == "fsStrikeOut")
                                  f.strikeOut = true;
                              else
                                  throw Exception("Invalid font style '" + n + "'");
                          }
                      });
                  })
        .Property("Font.Color", [](TComponent& c, const TStoredValue& v) {
            const TColor color = ParseColor(v);
            SetFontPart(c, [&](TFont& f) { f.color = color; });
        });

    registry.Register("TForm", "TControl")
        .String<TControl>("Caption", &TControl::SetCaption)
        .Property(
            "ClientWidth",
            [](TComponent& c, const TStoredValue& v) { C(c).SetWidth(ParseInt(v, 0, kMaxCoord)); })
        .Property("ClientHeight", [](TComponent& c, const TStoredValue& v) {
            C(c).SetHeight(ParseInt(v, 0, kMaxCoord));
        });

    for (const char* name : {"TLabel", "TLMDLabel"})
        registry.Register(name, "TControl", ControlFactory<TLabel>())
            .String<TLabel>("Caption", &TLabel::SetCaption)
            .Bool<TLabel>("AutoSize", &TLabel::SetAutoSize)
            .Bool<TLabel>("WordWrap", &TLabel::SetWordWrap)
            .Property("BorderWidth",
                      [](TComponent& c, const TStoredValue& v) {
                          TClassInfo::As<TLabel>(c).SetBorderWidth(ParseInt(v, 0, kMaxCoord));
                      })
            .Enum<TLabel, TTextEffect>(
                "TextEffect", &TLabel::SetTextEffect,
                {{"teNone", TTextEffect::None}, {"teRaised", TTextEffect::Raised}})
            .Enum<TLabel, TAlignment>("Alignment", &TLabel::SetAlignment,
                                      {{"taLeftJustify", TAlignment::Left},
                                       {"taCenter", TAlignment::Center},
                                       {"taRightJustify", TAlignment::Right}});
}

void RegisterStandardControls(TClassRegistry& registry) {
    registry.Register("TGroupBox", "TControl", ControlFactory<TGroupBox>())
        .String<TControl>("Caption", &TControl::SetCaption);

    registry.Register("TCheckBox", "TControl", ControlFactory<TCheckBox>())
        .String<TControl>("Caption", &TControl::SetCaption)
        .Bool<TCheckBox>("Checked", &TCheckBox::SetChecked)
        .EventMember<TCheckBox, void(TComponent*)>("OnClick", &TCheckBox::OnClick);

    registry.Register("TButton", "TControl", ControlFactory<TButton>())
        .String<TControl>("Caption", &TControl::SetCaption)
        .EventMember<TButton, void(TComponent*)>("OnClick", &TButton::OnClick);

    registry.Register("TProgressBar", "TControl", ControlFactory<TProgressBar>())
        .Int<TProgressBar>("Min", &TProgressBar::SetMin)
        .Int<TProgressBar>("Max", &TProgressBar::SetMax)
        .Int<TProgressBar>("Position", &TProgressBar::SetPosition);

    registry.Register("TImage", "TControl", ControlFactory<TImage>())
        .String<TImage>("Picture", &TImage::SetPicture)
        .Bool<TImage>("Transparent", &TImage::SetTransparent)
        .Bool<TImage>("Stretch", &TImage::SetStretch)
        .Bool<TImage>("Proportional", &TImage::SetProportional)
        .Bool<TImage>("Center", &TImage::SetCenter);

    // The label's stored properties, its own behaviour.
    registry.Register("TLMDSimpleLabel", "TLabel", ControlFactory<TLinkLabel>());
}

} // namespace tolvar
