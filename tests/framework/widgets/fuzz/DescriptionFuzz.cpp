// Fuzz entry of the stored description reader. Whatever the input, reading ends in a built
// form or in one of the program's exceptions; a crash, a leak or any other exception is a
// fault. The serial port class stays out, so no input can open a device. The controls get
// their widgets from the Qt widget set, so stored values reach real widgets too.
// Under libFuzzer run with ASAN_OPTIONS=detect_leaks=0: its application object lives to the
// end, and fontconfig's caches then count as leaks.
#include "framework/Controls.h"
#include "framework/FormReader.h"
#include "framework/widgets/qt/QtWidgetSet.h"
#include "wizard/Assist.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

const tolvar::TClassRegistry& Registry() {
    static const tolvar::TClassRegistry registry = [] {
        tolvar::TClassRegistry r;
        tolvar::RegisterControlClasses(r);
        tolvar::RegisterWizardClasses(r);
        r.Register("TForm1", "TForm");
        return r;
    }();
    return registry;
}

class TFuzzForm : public tolvar::TCustomForm {
public:
    TFuzzForm() {
        handlers_.Add<void(tolvar::TComponent*)>("LMDAssist1CancelClick",
                                                 [](tolvar::TComponent*) {});
        handlers_.Add<void(tolvar::TComponent*, bool&)>("LMDAssist1Completed",
                                                        [](tolvar::TComponent*, bool&) {});
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "tolvar-description-fuzz";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new tolvar::TQtApplication(argc, argv);
    }
    TFuzzForm form;
    try {
        form.ReadDescription(std::string_view(reinterpret_cast<const char*>(data), size), "TForm1",
                             Registry());
    } catch (const tolvar::Exception&) {
    }
    return 0;
}
