#include "serial/ComComboBox.h"

#include "app/FormClasses.h"
#include "framework/Application.h"
#include "framework/FormReader.h"
#include "framework/MessageBoxes.h"
#include "framework/widgets/qt/QtWidgetSet.h"
#include "serial/ComPort.h"
#include "serial/EnumComPorts.h"
#include "serial/PortDetails.h"
#include "tests/support/PtyPair.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tolvar {
namespace {

using Names = std::vector<std::string>;

// The port page's list and the port object, stored as the main form stores them.
constexpr const char* kForm = R"(<object class="TForm" name="Form1">
  <object class="TComComboBox" name="ComComboBox2">
    <property name="Left">216</property>
    <property name="Top">108</property>
    <property name="Width">145</property>
    <property name="Height">21</property>
    <property name="ComPort" ref="ComPort"/>
    <property name="ComProperty">cpPort</property>
    <property name="AutoApply">True</property>
    <property name="Text">COM1</property>
    <property name="Style">csDropDownList</property>
    <property name="ItemHeight">13</property>
    <property name="ItemIndex">0</property>
    <property name="TabOrder">0</property>
  </object>
  <object class="TComPort" name="ComPort">
    <property name="Port">COM1</property>
  </object>
</object>)";

const TClassRegistry& Classes() {
    static TClassRegistry registry = [] {
        TClassRegistry r;
        RegisterControlClasses(r);
        RegisterComPortClass(r);
        RegisterComComboBox(r);
        return r;
    }();
    return registry;
}

class PortList : public ::testing::Test {
protected:
    void TearDown() override {
        form_.reset();
        SetComPortSource(nullptr);
        SetComPortDescriber(nullptr);
    }

    // Builds the form with the system reporting `names`.
    void Load(Names names, const char* description = kForm) {
        SetComPortSource([names] { return names; });
        form_ = std::make_unique<TCustomForm>();
        ReadDescription(description, *form_, "TForm", Classes(), THandlerTable());
        list_ = dynamic_cast<TComComboBox*>(form_->FindComponent("ComComboBox2"));
        port_ = dynamic_cast<TComPort*>(form_->FindComponent("ComPort"));
        ASSERT_NE(list_, nullptr);
    }

    // The real list of the Qt widget set.
    QComboBox* C() const { return qobject_cast<QComboBox*>(QtWidget(*list_)); }

    Names Entries() const {
        Names shown;
        for (int i = 0; i < C()->count(); ++i)
            shown.push_back(C()->itemText(i).toStdString());
        EXPECT_EQ(shown, list_->Items());
        return shown;
    }

    // A pick by the user: the list gets the focus and the keys walk its entries.
    void PickWithKeys(Qt::Key key, int times = 1) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(C(), key);
    }

    std::unique_ptr<TCustomForm> form_;
    TComComboBox* list_ = nullptr;
    TComPort* port_ = nullptr;
};

TEST_F(PortList, DescriptionsFollowTheSortedEntriesAndNeverStopTheList) {
    Names asked;
    SetComPortDescriber([&asked](const Names& names) {
        asked = names;
        Names lines;
        for (const auto& n : names)
            lines.push_back(n == "COM3" ? "USB Serial Port, FTDI" : "");
        return lines;
    });
    Load({"COM3", "COM1"});
    EXPECT_EQ(asked, (Names{"COM1", "COM3"}));
    EXPECT_EQ(list_->ItemDetails(), (Names{"", "USB Serial Port, FTDI"}));
    // They reach the real list; a pick writes the name alone, and its detail is the tooltip.
    EXPECT_TRUE(C()->toolTip().isEmpty());
    PickWithKeys(Qt::Key_Down);
    EXPECT_EQ(port_->Port(), "COM3");
    EXPECT_EQ(C()->currentText(), "COM3");
    EXPECT_EQ(C()->toolTip(), "USB Serial Port, FTDI");

    // A describer that fails, or says too little, leaves names alone; the list is as before.
    SetComPortDescriber([](const Names&) -> Names { throw std::runtime_error("unreadable"); });
    Load({"COM3", "COM1"});
    EXPECT_EQ(Entries(), (Names{"COM1", "COM3"}));
    EXPECT_EQ(list_->Text(), "COM1");
    EXPECT_EQ(list_->ItemDetails(), (Names{"", ""}));
    SetComPortDescriber([](const Names&) { return Names{"on-board"}; });
    Load({"COM3", "COM1"});
    EXPECT_EQ(list_->ItemDetails(), (Names{"on-board", ""}));
}

TEST_F(PortList, LoadingSelectsThePortObjectsNameOnly) {
    Load({"COM3", "COM1"});
    EXPECT_EQ(Entries(), (Names{"COM1", "COM3"}));
    EXPECT_EQ(list_->Text(), "COM1");
    EXPECT_EQ(list_->Select().HeldPort(), "COM1");
    EXPECT_EQ(port_->Port(), "COM1");
    EXPECT_FALSE(C()->isEditable());

    Load({"COM2", "COM10", "COM1"});
    EXPECT_EQ(Entries(), (Names{"COM1", "COM10", "COM2"}));

    // No entry matches "COM1": the stored Text and ItemIndex leave no trace.
    Load({"COM3"});
    EXPECT_EQ(C()->currentIndex(), -1);
    EXPECT_EQ(list_->Text(), "");
    EXPECT_EQ(port_->Port(), "COM1");
    PickWithKeys(Qt::Key_Down);
    EXPECT_EQ(list_->Text(), "COM3");
    EXPECT_EQ(port_->Port(), "COM3");
}

TEST_F(PortList, MatchingIgnoresCaseButPortKeepsItsName) {
    Load({"com1", "COM2"});
    EXPECT_EQ(list_->Text(), "com1");
    EXPECT_EQ(list_->Select().HeldPort(), "com1");
    EXPECT_EQ(port_->Port(), "COM1"); // nothing written while loading

    // On Linux the list holds device paths; "COM1" names the first on-board one.
    Load({"/dev/ttyS1", "/dev/ttyS0", "/dev/ttyUSB0"});
    EXPECT_EQ(list_->Text(), "/dev/ttyS0");
    EXPECT_EQ(port_->Port(), "COM1");

    Load({"COM1", "COM1", "COM2"});
    EXPECT_EQ(Entries(), (Names{"COM1", "COM1", "COM2"}));
    EXPECT_EQ(C()->currentIndex(), 0);
}

TEST_F(PortList, EveryUserChangeIsAPick) {
    Load({"COM1", "COM2", "COM3", "ttyUSB0"});
    PickWithKeys(Qt::Key_Down, 2);
    EXPECT_EQ(port_->Port(), "COM3");
    PickWithKeys(Qt::Key_Up);
    EXPECT_EQ(port_->Port(), "COM2");
    QTest::keyClicks(C(), "tty"); // typing the start of a name
    EXPECT_EQ(port_->Port(), "ttyUSB0");
    // Backspace is no pick: it neither rewrites nor empties the name.
    port_->SetPort("COM9");
    PickWithKeys(Qt::Key_Backspace);
    EXPECT_EQ(port_->Port(), "COM9");
}

TEST_F(PortList, AnEmptyEntryIsListedAndPickable) {
    Load({"", "COM1"});
    EXPECT_EQ(Entries(), (Names{"", "COM1"}));
    EXPECT_EQ(list_->Text(), "COM1");
    PickWithKeys(Qt::Key_Up);
    EXPECT_EQ(port_->Port(), "");
}

TEST_F(PortList, EntriesAreBuiltOnceAtStartUp) {
    Names system{"COM1"};
    SetComPortSource([&system] { return system; });
    form_ = std::make_unique<TCustomForm>();
    ReadDescription(kForm, *form_, "TForm", Classes(), THandlerTable());
    list_ = dynamic_cast<TComComboBox*>(form_->FindComponent("ComComboBox2"));
    system.push_back("COM2"); // plugged in later
    C()->showPopup();
    C()->hidePopup();
    EXPECT_EQ(Entries(), (Names{"COM1"}));
}

TEST_F(PortList, RemovedPortObjectUnlinksAndSelectsFirst) {
    Load({"COM0", "COM1"});
    EXPECT_EQ(list_->Text(), "COM1");
    delete port_;
    EXPECT_EQ(list_->ComPort(), nullptr);
    EXPECT_EQ(list_->Text(), "COM0");
    PickWithKeys(Qt::Key_Down); // a pick now writes nowhere, and does not crash
    EXPECT_EQ(list_->Select().HeldPort(), "COM1");
}

TEST_F(PortList, FailingEnumerationStopsStartUpWithItsCode) {
    SetComPortSource([]() -> Names { throw EComPort(CError_RegError, 234); });
    auto form = std::make_unique<TCustomForm>();
    try {
        ReadDescription(kForm, *form, "TForm", Classes(), THandlerTable());
        FAIL() << "the form was built";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(),
                  "Error reading ComComboBox2.ComProperty: Registry error (win error code: 234)");
    }
}

TEST_F(PortList, PickOnAnOpenPort) {
    test::PtyPair first;
    test::PtyPair second;
    Load({first.SlavePath(), second.SlavePath(), "/dev/tolvar-no-such-port"});
    port_->SetPort(first.SlavePath());
    list_->UpdateSettings();
    port_->Open();
    const auto handle = port_->Handle();

    // The name it already holds: nothing happens, not even a reopen.
    list_->SetItemIndex(0);
    list_->PeerSelected(0);
    EXPECT_TRUE(port_->Connected());
    EXPECT_EQ(port_->Handle(), handle);

    // Another name: closed and opened again there.
    PickWithKeys(Qt::Key_Down);
    EXPECT_EQ(port_->Port(), second.SlavePath());
    EXPECT_TRUE(port_->Connected());

    // A name that cannot be opened: the failure leaves the pick, the port holds the name and
    // is closed.
    list_->SetItemIndex(2);
    EXPECT_THROW(list_->PeerSelected(2), EComPort);
    EXPECT_EQ(port_->Port(), "/dev/tolvar-no-such-port");
    EXPECT_FALSE(port_->Connected());
}

// The user's pick, by keys, of a port that cannot be reopened: the failure takes the road of
// every escaped exception, the exception display, and the program goes on.
TEST_F(PortList, AFailedReopenFromAKeyIsShownByTheExceptionDisplay) {
    test::PtyPair first;
    Load({first.SlavePath(), "/dev/tolvar-no-such-port"});
    port_->SetPort(first.SlavePath());
    list_->UpdateSettings();
    port_->Open();
    TScriptedMessageBoxes boxes;
    form_->ShowWindow();
    list_->SetFocus();
    PickWithKeys(Qt::Key_Down);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].icon, TMsgIcon::Error);
    EXPECT_EQ(boxes.shown[0].caption, ApplicationTitle());
    EXPECT_EQ(boxes.shown[0].text.rfind("Unable to open com port", 0), 0u) << boxes.shown[0].text;
    EXPECT_EQ(port_->Port(), "/dev/tolvar-no-such-port");
    EXPECT_FALSE(port_->Connected());
    // The list still takes keys; the port stays closed.
    PickWithKeys(Qt::Key_Up);
    EXPECT_EQ(port_->Port(), first.SlavePath());
    EXPECT_FALSE(port_->Connected());
    EXPECT_EQ(boxes.shown.size(), 1u);
}

} // namespace
} // namespace tolvar
