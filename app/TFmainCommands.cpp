// The commands the window's buttons and panels send to the unit.
#include "app/TFmain.h"

namespace vorn {

void TFmain::Button3Click() {
    Panel10->hide();
}

void TFmain::Button5Click() {
    Panel10->hide();
}

} // namespace vorn
