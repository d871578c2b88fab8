#include "framework/widgets/Controls.h"

#include "framework/FormReader.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QPainter>
#include <QPointer>
#include <QVariant>
#include <algorithm>
#include <climits>
#include <cstdlib>

namespace tolvar {

namespace {

constexpr const char* kTabOrder = "tolvarTabOrder";
constexpr const char* kCreation = "tolvarCreation";
// Far beyond any readable text, and well inside what the font engine takes.
constexpr int kMaxFontHeight = 1000;
// The button-highlight colour of the classic scheme.
const QColor kRaisedHighlight(255, 255, 255);

QWidget& W(TComponent& c) {
    return TClassInfo::As<QWidget>(c);
}

// The classic Windows faces of the stored descriptions, drawn with the metric-compatible
// fonts installed here.
void InstallFontSubstitutes() {
    static bool done = false;
    if (done)
        return;
    done = true;
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

void SetFont(TComponent& c, const std::function<void(QFont&)>& change) {
    QWidget& w = W(c);
    QFont f = w.font();
    change(f);
    w.setFont(f);
}

void SetColorRole(QWidget& w, std::initializer_list<QPalette::ColorRole> roles, const QColor& c) {
    QPalette p = w.palette();
    for (QPalette::ColorRole r : roles)
        p.setColor(r, c);
    w.setPalette(p);
}

void CollectTabChain(QWidget* parent, std::vector<QWidget*>& chain) {
    struct Entry {
        long long key;
        QWidget* widget;
    };
    std::vector<Entry> entries;
    for (QObject* o : parent->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w == nullptr || w->isWindow())
            continue;
        const QVariant order = w->property(kTabOrder);
        const QVariant created = w->property(kCreation);
        if (!order.isValid() && !created.isValid())
            continue;
        // Without a stored tab order a control comes after the ordered ones, in the order
        // the description created them.
        entries.push_back(
            {order.isValid() ? order.toLongLong() : LLONG_MAX / 2 + created.toLongLong(), w});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.key < b.key; });
    for (const Entry& e : entries) {
        if (e.widget->focusPolicy() & Qt::TabFocus)
            chain.push_back(e.widget);
        CollectTabChain(e.widget, chain);
    }
}

// Keeps a control filling its parent's client area.
class TClientAligner : public QObject {
public:
    explicit TClientAligner(QWidget* control) : QObject(control), control_(control) {
        control->parentWidget()->installEventFilter(this);
        Align();
    }
    void Align() { control_->setGeometry(control_->parentWidget()->contentsRect()); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == control_->parentWidget() && event->type() == QEvent::Resize)
            Align();
        return false;
    }

private:
    QWidget* control_;
};

void SetAlign(TComponent& c, const TStoredValue& v) {
    QWidget& w = W(c);
    const int align = ParseEnumName(v.text, {{"alNone", 0}, {"alClient", 1}});
    auto* aligner = w.findChild<TClientAligner*>(QString(), Qt::FindDirectChildrenOnly);
    if (align == 0) {
        delete aligner;
        return;
    }
    if (w.parentWidget() == nullptr)
        throw Exception("Control has no parent window");
    if (aligner == nullptr)
        new TClientAligner(&w);
    else
        aligner->Align();
}

} // namespace

void MarkCreation(QWidget* control) {
    static long long serial = 0;
    control->setProperty(kCreation, ++serial);
}

QColor ParseColor(const TStoredValue& value) {
    const std::string& t = value.text;
    const QPalette p = QApplication::palette();
    if (t == "clBtnFace")
        return p.color(QPalette::Button);
    if (t == "clWindow")
        return p.color(QPalette::Base);
    if (t == "clWindowText" || t == "clBtnText")
        return p.color(QPalette::WindowText);
    struct Named {
        const char* name;
        QRgb rgb;
    };
    static const Named named[] = {
        {"clBlack", 0x000000}, {"clMaroon", 0x800000},  {"clGreen", 0x008000},
        {"clOlive", 0x808000}, {"clNavy", 0x000080},    {"clPurple", 0x800080},
        {"clTeal", 0x008080},  {"clGray", 0x808080},    {"clSilver", 0xC0C0C0},
        {"clRed", 0xFF0000},   {"clLime", 0x00FF00},    {"clYellow", 0xFFFF00},
        {"clBlue", 0x0000FF},  {"clFuchsia", 0xFF00FF}, {"clAqua", 0x00FFFF},
        {"clWhite", 0xFFFFFF}};
    for (const Named& n : named)
        if (t == n.name)
            return QColor::fromRgb(n.rgb);
    // "$00BBGGRR", the stored form of an explicit colour.
    if (t.size() == 9 && t[0] == '$') {
        char* end = nullptr;
        const unsigned long v = std::strtoul(t.c_str() + 1, &end, 16);
        if (end == t.c_str() + t.size())
            return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                          static_cast<int>((v >> 16) & 0xFF));
    }
    throw Exception("Invalid colour value '" + t + "'");
}

TCustomForm::TCustomForm(QWidget* parent) : QWidget(parent), TComponent(nullptr) {
    InstallFontSubstitutes();
}

TCustomForm::~TCustomForm() {
    // Controls go first, each before its children, as the window hierarchy tears down; the
    // non-visual components go afterwards with the owner's list.
    std::vector<QPointer<QWidget>> children;
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        children.emplace_back(child);
    for (const QPointer<QWidget>& child : children)
        delete child.data();
}

void TCustomForm::ReadDescription(std::string_view description, const std::string& rootClass,
                                  const TClassRegistry& registry) {
    tolvar::ReadDescription(description, *this, rootClass, registry, handlers_);
}

void TCustomForm::Loaded() {
    ApplyTabOrder(this);
    TComponent::Loaded();
}

void ApplyTabOrder(QWidget* window) {
    std::vector<QWidget*> chain;
    CollectTabChain(window, chain);
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

TLabel::TLabel(TComponent* owner, QWidget* parent) : QLabel(parent), TComponent(owner) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TLabel::SetCaption(const std::string& caption) {
    caption_ = caption;
    setText(QString::fromStdString(caption).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (autoSize_)
        adjustSize();
}

void TLabel::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    if (autoSize_)
        adjustSize();
}

void TLabel::SetWordWrap(bool wrap) {
    setWordWrap(wrap);
}

void TLabel::SetTextEffect(TTextEffect effect) {
    effect_ = effect;
    update();
}

void TLabel::paintEvent(QPaintEvent* event) {
    if (effect_ == TTextEffect::None) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const int flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
    const QPalette& p = palette();
    // Raised: a highlight edge above left that stands out from the button face. A dark copy
    // below right would read as a drop shadow on the light page, so there is none.
    painter.setPen(kRaisedHighlight);
    painter.drawText(area.translated(-1, -1), flags, text());
    painter.setPen(
        p.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(area, flags, text());
}

void RegisterControlClasses(TClassRegistry& registry) {
    InstallFontSubstitutes();
    TClassInfo& control = registry.Register("TControl", "");
    control
        .Property("Left",
                  [](TComponent& c, const TStoredValue& v) {
                      W(c).move(ParseInt(v, kMinCoord, kMaxCoord), W(c).y());
                  })
        .Property("Top",
                  [](TComponent& c, const TStoredValue& v) {
                      W(c).move(W(c).x(), ParseInt(v, kMinCoord, kMaxCoord));
                  })
        .Property("Width",
                  [](TComponent& c, const TStoredValue& v) {
                      W(c).resize(ParseInt(v, 0, kMaxCoord), W(c).height());
                  })
        .Property("Height",
                  [](TComponent& c, const TStoredValue& v) {
                      W(c).resize(W(c).width(), ParseInt(v, 0, kMaxCoord));
                  })
        .Property("Align", SetAlign)
        .Property("Visible",
                  [](TComponent& c, const TStoredValue& v) { W(c).setVisible(ParseBool(v)); })
        .Property("Enabled",
                  [](TComponent& c, const TStoredValue& v) { W(c).setEnabled(ParseBool(v)); })
        .Property(
            "TabOrder",
            [](TComponent& c, const TStoredValue& v) { W(c).setProperty(kTabOrder, ParseInt(v)); })
        .Property("Color",
                  [](TComponent& c, const TStoredValue& v) {
                      QWidget& w = W(c);
                      SetColorRole(w, {QPalette::Window}, ParseColor(v));
                      w.setAutoFillBackground(true);
                  })
        .Property("Font.Name",
                  [](TComponent& c, const TStoredValue& v) {
                      SetFont(c, [&](QFont& f) { f.setFamily(QString::fromStdString(v.text)); });
                  })
        .Property("Font.Height",
                  [](TComponent& c, const TStoredValue& v) {
                      // Negative: character height in pixels; positive: cell height, taken
                      // as the same size here.
                      const int h = std::abs(ParseInt(v, -kMaxFontHeight, kMaxFontHeight));
                      if (h == 0)
                          throw Exception("Invalid font height '" + v.text + "'");
                      SetFont(c, [&](QFont& f) { f.setPixelSize(h); });
                  })
        .Property("Font.Style",
                  [](TComponent& c, const TStoredValue& v) {
                      const auto names = ParseSetNames(v);
                      SetFont(c, [&](QFont& f) {
                          f.setBold(false);
                          f.setItalic(false);
                          f.setUnderline(false);
                          f.setStrikeOut(false);
                          for (const std::string& n : names) {
                              if (n == "fsBold")
                                  f.setBold(true);
                              else if (n == "fsItalic")
                                  f.setItalic(true);
                              else if (n == "fsUnderline")
                                  f.setUnderline(true);
                              else if (n == "fsStrikeOut")
                                  f.setStrikeOut(true);
                              else
                                  throw Exception("Invalid font style '" + n + "'");
                          }
                      });
                  })
        .Property("Font.Color", [](TComponent& c, const TStoredValue& v) {
            SetColorRole(W(c), {QPalette::WindowText, QPalette::ButtonText, QPalette::Text},
                         ParseColor(v));
        });

    registry.Register("TForm", "TControl")
        .Property("Caption",
                  [](TComponent& c, const TStoredValue& v) {
                      W(c).setWindowTitle(QString::fromStdString(v.text));
                  })
        .Property("ClientWidth",
                  [](TComponent& c, const TStoredValue& v) {
                      W(c).resize(ParseInt(v, 0, kMaxCoord), W(c).height());
                  })
        .Property("ClientHeight", [](TComponent& c, const TStoredValue& v) {
            W(c).resize(W(c).width(), ParseInt(v, 0, kMaxCoord));
        });

    for (const char* name : {"TLabel", "TLMDLabel"})
        registry.Register(name, "TControl", WidgetFactory<TLabel>())
            .String("Caption", &TLabel::SetCaption)
            .Bool("AutoSize", &TLabel::SetAutoSize)
            .Bool("WordWrap", &TLabel::SetWordWrap)
            .Property("BorderWidth",
                      [](TComponent& c, const TStoredValue& v) {
                          TClassInfo::As<TLabel>(c).setMargin(ParseInt(v, 0, kMaxCoord));
                      })
            .Enum(
                "TextEffect", &TLabel::SetTextEffect,
                {{"teNone", TLabel::TTextEffect::None}, {"teRaised", TLabel::TTextEffect::Raised}})
            .Property("Alignment", [](TComponent& c, const TStoredValue& v) {
                const int a = ParseEnumName(v.text, {{"taLeftJustify", Qt::AlignLeft},
                                                     {"taCenter", Qt::AlignHCenter},
                                                     {"taRightJustify", Qt::AlignRight}});
                TClassInfo::As<TLabel>(c).setAlignment(static_cast<Qt::Alignment>(a) |
                                                       Qt::AlignTop);
            });
}

} // namespace tolvar
