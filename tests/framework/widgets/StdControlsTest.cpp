// Controls of stored descriptions: pictures, the link label, labels that fill their parent.
#include "framework/widgets/StdControls.h"

#include <QApplication>
#include <QImage>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <set>

using namespace tolvar;

namespace {

TEST(Picture, IsDrawnScaledKeepingItsAspectWithoutTheTransparentColour) {
    QWidget parent;
    parent.resize(300, 300);
    auto* image = new TImage(nullptr, &parent);
    image->setGeometry(0, 0, 185, 140);
    image->SetPicture("logo.bmp");
    EXPECT_EQ(image->Picture().size(), QSize(289, 213));
    image->SetProportional(true);
    image->SetStretch(true);
    EXPECT_EQ(image->PictureRect(), QRect(0, 0, 185, 136));
    image->SetCenter(true);
    EXPECT_EQ(image->PictureRect(), QRect(0, 2, 185, 136));
    // A small picture is not blown up unless stretching is asked for.
    image->setGeometry(0, 0, 600, 600);
    image->SetStretch(false);
    EXPECT_EQ(image->PictureRect().size(), QSize(289, 213));
    image->SetStretch(true);
    EXPECT_EQ(image->PictureRect().size(), QSize(600, 442));

    image->SetTransparent(true);
    image->setGeometry(0, 0, 289, 213);
    image->SetCenter(false);
    parent.setStyleSheet("background: #00FF00");
    const QImage drawn = image->grab().toImage();
    // The logo's corner is the transparent colour: the background shows through.
    EXPECT_EQ(drawn.pixelColor(0, 0).rgb() & 0xFFFFFF, 0x00FF00u);

    EXPECT_THROW(image->SetPicture("missing.bmp"), Exception);
    EXPECT_THROW(image->SetPicture("../pictures/logo.bmp"), Exception);
}

class Link : public testing::Test {
protected:
    void SetUp() override {
        previous_ = TLinkLabel::SetOpener([this](const QUrl& url) {
            opened_.push_back(url.toString().toStdString());
            return answer_;
        });
        link_ = new TLinkLabel(nullptr, &parent_);
        link_->SetCaption("https://www.zefra.example");
        parent_.show();
    }
    void TearDown() override { TLinkLabel::SetOpener(previous_); }
    QColor Color() const { return link_->palette().color(QPalette::WindowText); }

    QWidget parent_;
    TLinkLabel* link_ = nullptr;
    TLinkLabel::TOpener previous_;
    std::vector<std::string> opened_;
    bool answer_ = true;
};

TEST_F(Link, TurnsPurpleOnThePressAndOpensItsAddress) {
    EXPECT_EQ(Color(), QColor(0, 0, 255));
    QTest::mousePress(link_, Qt::LeftButton);
    EXPECT_EQ(Color(), QColor(128, 0, 128));
    EXPECT_TRUE(opened_.empty());
    QTest::mouseRelease(link_, Qt::LeftButton);
    EXPECT_EQ(opened_, std::vector<std::string>{"https://www.zefra.example"});
    EXPECT_EQ(Color(), QColor(128, 0, 128));
    EXPECT_TRUE(link_->isEnabled());
    // The right button does nothing.
    QTest::mouseClick(link_, Qt::RightButton);
    EXPECT_EQ(opened_.size(), 1u);
}

TEST_F(Link, IsDisabledWhenTheDesktopCannotOpenIt) {
    answer_ = false;
    QTest::mouseClick(link_, Qt::LeftButton);
    EXPECT_EQ(opened_.size(), 1u);
    EXPECT_FALSE(link_->isEnabled());
    // It looks disabled too: the grey of disabled text, not the purple of a visited link, and
    // no hand cursor.
    const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
    EXPECT_EQ(link_->palette().color(QPalette::Disabled, QPalette::WindowText), grey);
    EXPECT_NE(grey, QColor(128, 0, 128));
    EXPECT_NE(link_->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(link_, Qt::LeftButton);
    EXPECT_EQ(opened_.size(), 1u);
}

// Raised text: a highlight edge above left of the letters and no dark copy below right, which
// would read as a drop shadow.
TEST(Label, RaisedTextHasAHighlightEdgeAndNoShadow) {
    QWidget page;
    page.setAutoFillBackground(true);
    QPalette p = page.palette();
    p.setColor(QPalette::Window, QColor(240, 240, 240));
    page.setPalette(p);
    auto* label = new TLabel(nullptr, &page);
    label->setGeometry(0, 0, 200, 40);
    QFont font("Arial");
    font.setPixelSize(19);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    label->setFont(font);
    label->SetCaption("IIII");
    auto colours = [&] {
        const QImage image = page.grab().toImage();
        std::set<QRgb> seen;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                seen.insert(image.pixel(x, y) & 0xFFFFFF);
        return seen;
    };
    // Without anti-aliasing the plain text has two colours; raised adds the highlight only.
    const std::set<QRgb> plain = colours();
    label->SetTextEffect(TLabel::TTextEffect::Raised);
    std::set<QRgb> expected = plain;
    expected.insert(0xFFFFFF);
    EXPECT_EQ(plain.size(), 2u);
    EXPECT_EQ(colours(), expected);
}

TEST(GroupBox, AClientAlignedLabelFillsItInsideTheFrame) {
    QWidget page;
    auto* box = new TGroupBox(nullptr, &page);
    box->setGeometry(16, 16, 337, 313);
    auto* label = new TLabel(nullptr, box);
    TClassRegistry registry;
    RegisterControlClasses(registry);
    const auto* align = registry.Find("TLabel")->FindProperty("Align");
    ASSERT_NE(align, nullptr);
    TStoredValue client;
    client.text = "alClient";
    (*align)(*label, client);
    EXPECT_EQ(label->geometry(), QRect(2, 2, 333, 309));
    page.show();
    box->resize(200, 100);
    EXPECT_EQ(label->geometry(), QRect(2, 2, 196, 96));
    client.text = "alTop";
    EXPECT_THROW((*align)(*label, client), Exception);
}

} // namespace
