#pragma once
// The main window. Placeholder until the window's layout lands.
#include <QWidget>

#include "ui/form_handlers.h"
#include "ui/form_state.h"

namespace velta {

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  TForm1(FormState& state, FormHandlers& handlers, QWidget* parent = nullptr);

 private:
  FormState& state_;
  FormHandlers& handlers_;
};

}  // namespace velta
