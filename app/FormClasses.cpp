#include "app/FormClasses.h"

#include "framework/Controls.h"
#include "framework/StdControls.h"
#include "serial/ComComboBox.h"
#include "serial/ComPort.h"
#include "wizard/Assist.h"

namespace tolvar {

const TClassRegistry& FormClasses() {
    static const TClassRegistry registry = [] {
        TClassRegistry r;
        RegisterControlClasses(r);
        RegisterStandardControls(r);
        RegisterWizardClasses(r);
        RegisterComPortClass(r);
        RegisterComComboBox(r);
        r.Register("TForm1", "TForm");
        return r;
    }();
    return registry;
}

} // namespace tolvar
