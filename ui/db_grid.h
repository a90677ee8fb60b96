#pragma once
// DBGrid1, the record grid: shows the model of the open data file (built elsewhere; it
// supplies header texts and per-column font, colour and alignment through the item
// roles). The grid never changes the model: no in-place editing, no insert, no delete of
// its own. It reports the operator's actions as signals; Form1 runs the handlers.
#include <QTableView>

namespace velta {

class DbGrid : public QTableView {
  Q_OBJECT
 public:
  explicit DbGrid(QWidget* parent = nullptr);

  // Shows model (may be null; not owned) and lays the columns out: SIRANO ten digits of
  // its font plus 4 (at least its title plus 4), SERiNO 200, HAVA .. BOY 130 each, the
  // phase columns 7 to 18 hidden. Applied again whenever the model is reset.
  void bindRecordModel(QAbstractItemModel* model);

 signals:
  void cellClicked();        // left-button click on a data row, after it became current
  void keyReleased();        // any key released while the grid has the focus
  void ctrlDeletePressed();  // Ctrl+Delete

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyboardSearch(const QString& search) override;

 private:
  void applyColumnLayout();
  QFont columnFont(int column) const;
  bool pressOnRow_ = false;
};

}  // namespace velta
