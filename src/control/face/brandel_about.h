// The logo control's About box: "About Brandel Control", the control's icon, the text
// "Brandel Control, Version 1.0" and an OK button.
#pragma once

#include <QDialog>

namespace tervane::brandel {

inline constexpr const char* kAboutTitle = "About Brandel Control";
inline constexpr const char* kAboutText = "Brandel Control, Version 1.0";

class CBrandelAboutDlg final : public QDialog {
  Q_OBJECT

 public:
  explicit CBrandelAboutDlg(QWidget* parent = nullptr);
};

}  // namespace tervane::brandel
