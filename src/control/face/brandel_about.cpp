#include "control/face/brandel_about.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "control/face/brandel_images.h"

namespace tervane::brandel {

CBrandelAboutDlg::CBrandelAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("brandelAbout"));
  setWindowTitle(QString::fromLatin1(kAboutTitle));
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("icon"));
  icon->setPixmap(QPixmap::fromImage(BrandelIcon()));
  auto* text = new QLabel(QString::fromLatin1(kAboutText), this);
  text->setObjectName(QStringLiteral("text"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* row = new QHBoxLayout;
  row->addWidget(icon);
  row->addSpacing(12);
  row->addWidget(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
  setFixedSize(sizeHint());
}

}  // namespace tervane::brandel
