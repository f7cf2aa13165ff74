// Form.dll: Tonbrix's About box. The program loads this library when the About
// command runs, calls ShowAboutForm with its software information and closes
// the library again. Nothing here outlives the call, so the library can be
// unloaded safely: the box is built from plain Qt widgets (no meta-objects of
// its own) and destroyed before the function returns, and no text refers to
// this library's own memory (no QStringLiteral: a QString made from one would
// point into the unloaded library if anything kept a copy).
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "TonbrixCompanion.h"

namespace {

QString Text(const char* text) { return QString::fromUtf8(text != nullptr ? text : ""); }

// An empty field is shown as such rather than as a blank line.
QString OrNotSet(const char* text) {
  QString value = Text(text);
  return value.isEmpty() ? QString::fromLatin1("not set") : value;
}

QLabel* AddLabel(QWidget* parent, const QString& name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void ShowAboutForm(void* application,
                                                                     TonbrixSoftInfo info) {
  auto* app = static_cast<QApplication*>(application);
  QWidget* owner = app != nullptr ? QApplication::activeWindow() : nullptr;

  QDialog box(owner);
  box.setObjectName("AboutForm");
  box.setWindowTitle(QString::fromLatin1("About %1").arg(Text(info.ProductName)));
  box.setMinimumWidth(420);

  auto* heading = new QHBoxLayout;
  auto* icon = new QLabel(&box);
  icon->setObjectName("imgIcon");
  icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
  heading->addWidget(icon, 0, Qt::AlignTop);
  auto* title = new QVBoxLayout;
  QLabel* product = AddLabel(&box, "lblProduct", Text(info.ProductName));
  QFont big = product->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  product->setFont(big);
  title->addWidget(product);
  title->addWidget(AddLabel(&box, "lblVersion",
                            QString::fromLatin1("Version %1").arg(OrNotSet(info.VersionText))));
  title->addWidget(AddLabel(&box, "lblResText2", Text(info.ResText2)));
  heading->addLayout(title, 1);

  auto* details = new QFormLayout;
  details->addRow("Made by:", AddLabel(&box, "lblCompany", OrNotSet(info.CompanyName)));
  details->addRow("Home page:", AddLabel(&box, "lblHomePage", OrNotSet(info.HomePage)));
  details->addRow("E-mail:", AddLabel(&box, "lblEMail", OrNotSet(info.EMail)));
  details->addRow("Program folder:", AddLabel(&box, "lblAppPath", OrNotSet(info.AppPath)));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
  buttons->setObjectName("btnOK");
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);

  auto* layout = new QVBoxLayout(&box);
  layout->addLayout(heading);
  layout->addWidget(AddLabel(&box, "lblResText7", Text(info.ResText7)));
  layout->addLayout(details);
  layout->addWidget(buttons);

  box.exec();
}
