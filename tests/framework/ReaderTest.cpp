#include "framework/ClassRegistry.h"
#include "framework/FormReader.h"

#include <gtest/gtest.h>
#include <memory>

using namespace tolvar;

namespace {

std::vector<std::string> journal;

class TThing : public TComponent {
public:
    TThing(TComponent* owner, TComponent* parent) : TComponent(owner) {
        journal.push_back("create under " + (parent ? parent->Name() : std::string("-")));
        ++alive;
    }
    ~TThing() override { --alive; }
    void SetCount(std::int32_t v) {
        count = v;
        journal.push_back("set " + Name() + ".Count=" + std::to_string(v) +
                          (IsLoading() ? " loading" : ""));
    }
    void SetLabel(const std::string& v) { journal.push_back("set " + Name() + ".Label=" + v); }
    void SetBuddy(TThing* b) {
        journal.push_back("buddy " + Name() + "->" + b->Name() + " count " +
                          std::to_string(b->count));
    }
    void Loaded() override {
        journal.push_back("loaded " + Name());
        TComponent::Loaded();
    }
    std::function<void(TComponent*)> OnPing;
    std::vector<std::string> items;
    int count = 0;
    static inline int alive = 0;
};

class TOther : public TComponent {
public:
    using TComponent::TComponent;
};

const TClassRegistry& Registry() {
    static const TClassRegistry registry = [] {
        TClassRegistry r;
        r.Register("TThing", "",
                   [](TComponent* owner, TComponent* parent) -> TComponent* {
                       return new TThing(owner, parent);
                   })
            .Int("Count", &TThing::SetCount)
            .String("Label", &TThing::SetLabel)
            .Ref("Buddy", &TThing::SetBuddy)
            .Property("Fail",
                      [](TComponent&, const TStoredValue& v) {
                          throw Exception("the setter refused " + v.text);
                      })
            .Property("Items",
                      [](TComponent& c, const TStoredValue& v) {
                          TClassInfo::As<TThing>(c).items = v.items;
                      })
            .EventMember("OnPing", &TThing::OnPing);
        r.Register("TRoot", "TThing");
        r.Register("TOther", "",
                   [](TComponent* owner, TComponent*) -> TComponent* { return new TOther(owner); });
        return r;
    }();
    return registry;
}

struct Root {
    std::unique_ptr<TThing> root = std::make_unique<TThing>(nullptr, nullptr);
    THandlerTable handlers;
    int pings = 0;
    Root() {
        journal.clear();
        handlers.Add<void(TComponent*)>("Ping", [this](TComponent*) { ++pings; });
        handlers.Add<void(TComponent*, bool&)>("Vetoable", [](TComponent*, bool&) {});
    }
    void Read(const std::string& text) {
        ReadDescription(text, *root, "TRoot", Registry(), handlers);
    }
    std::string Failure(const std::string& text) {
        try {
            Read(text);
        } catch (const EReadError& e) {
            return e.Message();
        }
        return "(no failure)";
    }
};

const char* const kGood = R"(<?xml version="1.0" encoding="UTF-8"?>
<object class="TRoot" name="Root">
  <property name="Count">1</property>
  <object class="TThing" name="A">
    <property name="Buddy" ref="B"/>
    <property name="Count">2</property>
    <object class="TThing" name="A1">
      <property name="Label">  zażółć &#13;&#10;</property>
      <property name="Items"><item>x1</item><item/><item>&lt;&lt; y</item></property>
    </object>
  </object>
  <object class="TThing" name="B">
    <property name="Count">3</property>
    <event name="OnPing" handler="Ping"/>
  </object>
</object>
)";

TEST(StoredDescription, BuildsInStoredOrderThenResolvesReferencesThenLoads) {
    Root r;
    r.Read(kGood);
    const std::vector<std::string> expected = {
        "set Root.Count=1 loading",
        "create under Root",
        "set A.Count=2 loading",
        "create under A",
        "set A1.Label=  zażółć \r\n",
        "create under Root",
        "set B.Count=3 loading",
        "buddy A->B count 3",
        "loaded Root",
        "loaded A",
        "loaded A1",
        "loaded B",
    };
    EXPECT_EQ(journal, expected);
    ASSERT_EQ(r.root->Components().size(), 3u);
    auto* a1 = dynamic_cast<TThing*>(r.root->FindComponent("A1"));
    ASSERT_NE(a1, nullptr);
    EXPECT_EQ(a1->items, (std::vector<std::string>{"x1", "", "<< y"}));
    EXPECT_FALSE(a1->IsLoading());
    auto* b = dynamic_cast<TThing*>(r.root->FindComponent("B"));
    ASSERT_TRUE(b->OnPing);
    b->OnPing(b);
    EXPECT_EQ(r.pings, 1);
}

TEST(StoredDescription, FailuresNameTheObjectThePropertyAndTheLine) {
    const std::string head = "<object class=\"TRoot\" name=\"Root\">\n";
    const std::string thing = "<object class=\"TThing\" name=\"A\">\n";
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {head + "<property name=\"Colour\">x</property></object>",
         "Error reading Root.Colour: no such property in TRoot (line 2)"},
        {head + thing + "<property name=\"Fail\">now</property></object></object>",
         "Error reading A.Fail: the setter refused now"},
        {head + "<property name=\"Count\">ten</property></object>",
         "Error reading Root.Count: 'ten' is not a valid integer value"},
        {head + "<property name=\"Count\">99999999999</property></object>",
         "Error reading Root.Count: '99999999999' is not a valid integer value"},
        {head + thing + "\n<property name=\"Buddy\" ref=\"Nobody\"/></object></object>",
         "Error reading A.Buddy: unknown reference Nobody (line 4)"},
        {head + "<object class=\"TOther\" name=\"O\"/>" + thing +
             "<property name=\"Buddy\" ref=\"O\"/></object></object>",
         "Error reading A.Buddy: Invalid property value: O is of the wrong class"},
        {head + "<property name=\"Buddy\">A</property></object>",
         "Error reading Root.Buddy: the property needs a ref (line 2)"},
        {head + "<property name=\"Label\" ref=\"Root\"/></object>",
         "Error reading Root.Label: no such reference property in TRoot (line 2)"},
        {head + "<event name=\"OnPing\" handler=\"Missing\"/></object>",
         "Error reading Root.OnPing: handler Missing not found (line 2)"},
        {head + "<event name=\"OnPong\" handler=\"Ping\"/></object>",
         "Error reading Root.OnPong: no such event in TRoot (line 2)"},
        {head + "<event name=\"OnPing\" handler=\"Vetoable\"/></object>",
         "Error reading Root.OnPing: the handler does not fit the event"},
        {head + "<object class=\"TNothing\" name=\"X\"/></object>",
         "Class TNothing not found (object X) (line 2)"},
        {head + thing + "</object>" + thing + "</object></object>",
         "A component named A already exists (line 3)"},
        {head + "<object class=\"TThing\" name=\"root\"/></object>",
         "A component named root already exists (line 2)"},
        {head + "<object class=\"TThing\" name=\"1st\"/></object>",
         "'1st' is not a valid component name (line 2)"},
        {head + "<object class=\"TRoot\" name=\"R2\"/></object>",
         "Class TRoot cannot be created from a description (line 2)"},
        {"<object class=\"TThing\" name=\"Root\"/>",
         "The form description is for TThing, not TRoot (line 1)"},
        {head + "<widget/></object>", "Unexpected element <widget> (line 2)"},
        {head + "stray text</object>", "Unexpected text in object Root (line 2)"},
        {"<form/>", "The form description holds no object (line 1)"},
        {"", "Malformed form description: unexpected end of document (line 1)"},
        {head + "</object><object class=\"TRoot\" name=\"Again\"/>",
         "Malformed form description: extra content after the root element (line 2)"},
        {head + thing + "<property name=\"Count\">1</object></object>",
         "Malformed form description: end tag </object> does not match <property> (line 3)"},
        {head + "<property name=\"Items\"><item>a\n<b/></item></property></object>",
         "Malformed form description: element <b> where only text may stand (line 3)"},
        {head + "<property name=\"Label\">&nbsp;</property></object>",
         "Malformed form description: unknown entity &nbsp; (line 2)"},
    };
    for (const auto& c : cases) {
        Root r;
        EXPECT_EQ(r.Failure(c.text), c.message) << c.text;
    }
}

TEST(StoredDescription, AFailureLeavesWhatWasCreatedToTheRoot) {
    const int before = TThing::alive;
    {
        Root r;
        EXPECT_NE(r.Failure("<object class=\"TRoot\" name=\"Root\"><object class=\"TThing\" "
                            "name=\"A\"/><object class=\"TThing\" name=\"B\">"
                            "<property name=\"Fail\">x</property></object></object>"),
                  "(no failure)");
        EXPECT_EQ(r.root->Components().size(), 2u);
        EXPECT_EQ(std::count(journal.begin(), journal.end(), "loaded A"), 0);
    }
    EXPECT_EQ(TThing::alive, before);
}

// Whatever a hand edit leaves behind, reading ends in EReadError, never in a crash or a
// half-built form reported as success.
TEST(StoredDescription, EveryTruncationIsRejected) {
    const std::string good = kGood;
    const std::size_t lastTag = good.rfind('>') + 1;
    for (std::size_t n = 0; n < lastTag; ++n) {
        Root r;
        EXPECT_NE(r.Failure(good.substr(0, n)), "(no failure)") << n;
    }
    std::string deep = "<object class=\"TRoot\" name=\"Root\">";
    for (int i = 0; i < 200; ++i)
        deep += "<object class=\"TThing\">";
    Root r;
    EXPECT_EQ(r.Failure(deep), "Objects nested too deeply (line 1)");
}

TEST(StoredValues, ParsersAcceptTheStoredFormsOnly) {
    auto v = [](std::string t) { return TStoredValue{std::move(t), {}, false, 0}; };
    EXPECT_EQ(ParseInt(v(" -11 ")), -11);
    EXPECT_EQ(ParseInt(v("+5")), 5);
    for (const char* bad : {"", "5x", "0x10", "2147483648", "--1"})
        EXPECT_THROW(ParseInt(v(bad)), Exception) << bad;
    EXPECT_TRUE(ParseBool(v("True")));
    EXPECT_FALSE(ParseBool(v("false")));
    EXPECT_THROW(ParseBool(v("1")), Exception);
    EXPECT_EQ(ParseSetNames(v("[abCancel, abHelp]")),
              (std::vector<std::string>{"abCancel", "abHelp"}));
    EXPECT_TRUE(ParseSetNames(v(" [ ] ")).empty());
    for (const char* bad : {"abCancel", "[a,,b]", "[a,]", "[", "]"})
        EXPECT_THROW(ParseSetNames(v(bad)), Exception) << bad;
    EXPECT_EQ(ParseEnumName("br115200", {{"br9600", 7}, {"br115200", 13}}), 13);
    EXPECT_THROW(ParseEnumName("br115201", {{"br115200", 13}}), Exception);
}

} // namespace
