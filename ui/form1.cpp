#include "ui/form1.h"

namespace velta {

TForm1::TForm1(FormState& state, FormHandlers& handlers, QWidget* parent)
    : QWidget(parent), state_(state), handlers_(handlers) {}

}  // namespace velta
