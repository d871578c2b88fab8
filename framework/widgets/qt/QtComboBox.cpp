#include "framework/Application.h"
#include "framework/StdControls.h"
#include "framework/widgets/qt/QtPeer.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLayout>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <algorithm>

namespace tolvar {

namespace {

// Where an item keeps what is known of its port, beside the name it shows.
constexpr int kDetailRole = Qt::UserRole + 1;

// Lines of the dropped list: the name, then the detail in the secondary text colour.
class TDetailDelegate final : public QStyledItemDelegate {
public:
    static QColor SecondaryColor(const QPalette& palette, QPalette::ColorGroup group) {
        const auto plain = [](const QColor& c) { return Rgb(c.red(), c.green(), c.blue()); };
        const QColor base = palette.color(group, QPalette::Base);
        // The placeholder grey is drawn over the base, half transparent.
        QColor grey = palette.color(group, QPalette::PlaceholderText);
        const double a = grey.alphaF();
        grey = QColor::fromRgbF(grey.redF() * a + base.redF() * (1 - a),
                                grey.greenF() * a + base.greenF() * (1 - a),
                                grey.blueF() * a + base.blueF() * (1 - a));
        const TColor c = ReadableSecondary(plain(grey), plain(palette.color(group, QPalette::Text)),
                                           plain(base));
        return QColor(RedOf(c), GreenOf(c), BlueOf(c));
    }

    using QStyledItemDelegate::QStyledItemDelegate;

    // Space between the name and its detail, in multiples of the font's average width.
    static int Gap(const QFontMetrics& metrics) { return 2 * metrics.averageCharWidth(); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QString name = opt.text;
        const QString detail = index.data(kDetailRole).toString();
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget != nullptr ? widget->style() : nullptr;
        if (style == nullptr)
            return;
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const bool selected = (opt.state & QStyle::State_Selected) != 0;
        const QPalette::ColorGroup group =
            (opt.state & QStyle::State_Enabled) != 0 ? QPalette::Normal : QPalette::Disabled;
        QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(
            opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        painter->drawText(text, flags, name);
        if (!detail.isEmpty()) {
            text.setLeft(text.left() + opt.fontMetrics.horizontalAdvance(name) +
                         Gap(opt.fontMetrics));
            // A selected line keeps the highlight's text colour throughout; otherwise the
            // secondary colour, darkened where it would read at less than 4.5:1.
            painter->setPen(selected ? opt.palette.color(group, QPalette::HighlightedText)
                                     : SecondaryColor(opt.palette, group));
            painter->drawText(text, flags, detail);
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString detail = index.data(kDetailRole).toString();
        if (!detail.isEmpty())
            size.rwidth() += Gap(option.fontMetrics) + option.fontMetrics.horizontalAdvance(detail);
        return size;
    }
};

// Qt tells whether a line of a list shows by whether it lies within the list's rectangle, and the
// list of a closed drop-down keeps its size: a screen reader would find its lines showing on any
// page. Closed, the list has no height; dropped, its layout gives it its size again.
class TPortListWidget final : public QComboBox {
public:
    explicit TPortListWidget(QWidget* parent) : QComboBox(parent) { view()->resize(0, 0); }

    void showPopup() override {
        if (QLayout* layout = view()->parentWidget()->layout())
            layout->invalidate();
        QComboBox::showPopup();
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        view()->resize(0, 0);
    }
};

class TQtComboBoxPeer final : public TQtPeer, public TComboBoxPeer {
public:
    explicit TQtComboBoxPeer(TComboBox& comboBox)
        : TQtPeer(comboBox, new TPortListWidget(ParentWidget(comboBox)), false) {
        List()->setEditable(false);
        List()->setItemDelegate(new TDetailDelegate(List()));
        // Picks by mouse, arrow keys, wheel or typing the start of a name all arrive here.
        QObject::connect(List(), &QComboBox::activated, List(), [this](int index) {
            RunHandler([this, index] { control_.PeerSelected(index); });
        });
        QObject::connect(List(), &QComboBox::currentIndexChanged, List(),
                         [this](int) { ShowSelectedDetail(); });
    }

    void SetItems(const std::vector<std::string>& items) override {
        {
            const QSignalBlocker quiet(List());
            List()->clear();
            for (const std::string& item : items)
                List()->addItem(QtText(item));
            // The list selects nothing by itself; the selection is the model's to make.
            List()->setCurrentIndex(-1);
        }
        ApplyDetails();
    }
    void SetItemDetails(const std::vector<std::string>& details) override {
        details_ = details;
        ApplyDetails();
    }
    void SetItemIndex(int index) override {
        {
            const QSignalBlocker quiet(List());
            List()->setCurrentIndex(index);
        }
        ShowSelectedDetail();
    }
    void SetFont(const TFont& font) override {
        TQtPeer::SetFont(font);
        FitDroppedWidth();
    }
    void SetAccessible(const TAccessibleInfo& info) override {
        TQtPeer::SetAccessible(info);
        // The description is the selected port's detail.
        ShowSelectedDetail();
    }

private:
    QComboBox* List() const { return static_cast<QComboBox*>(widget_.data()); }

    void ApplyDetails() {
        const QSignalBlocker quiet(List());
        for (int i = 0; i < List()->count(); ++i) {
            const auto at = static_cast<std::size_t>(i);
            const QString detail = at < details_.size() ? QtText(details_[at]) : QString();
            List()->setItemData(i, detail, kDetailRole);
            // A screen reader reads a dropped line whole, its detail after the name.
            List()->setItemData(i,
                                detail.isEmpty()
                                    ? QVariant()
                                    : QVariant(List()->itemText(i) + QStringLiteral(", ") + detail),
                                Qt::AccessibleTextRole);
        }
        FitDroppedWidth();
        ShowSelectedDetail();
    }

    // The field keeps its stored size; only the dropped list grows to its widest line.
    void FitDroppedWidth() {
        QAbstractItemView* view = List()->view();
        int widest = 0;
        for (int i = 0; i < List()->count(); ++i)
            widest = std::max(widest, view->sizeHintForIndex(List()->model()->index(i, 0)).width());
        if (widest > 0)
            widest +=
                2 * view->frameWidth() + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        view->setMinimumWidth(widest);
    }

    void ShowSelectedDetail() {
        const QString detail = List()->currentData(kDetailRole).toString();
        // A detail is the device's own text; it must not be read as markup.
        List()->setToolTip(
            Qt::mightBeRichText(detail)
                ? QStringLiteral("<p style='white-space:pre'>%1</p>").arg(detail.toHtmlEscaped())
                : detail);
        List()->setAccessibleDescription(detail);
    }

    std::vector<std::string> details_;
};

} // namespace

std::unique_ptr<TComboBoxPeer> CreateQtComboBoxPeer(TComboBox& comboBox) {
    return std::make_unique<TQtComboBoxPeer>(comboBox);
}

} // namespace tolvar
