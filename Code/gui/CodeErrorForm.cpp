#include "CodeErrorForm.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QTextLayout>
#include <QtMath>

#include "Artwork.h"

namespace {
// The help page's section on readable formats and codecs.
const QString kCodecHelp = QStringLiteral("Help.html#codecs");
}  // namespace

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit clicked();
  QLabel::mouseReleaseEvent(event);
}

TFrmCodeErrorForm::TFrmCodeErrorForm(ShellLauncher& launcher, UserInterface& ui,
                                     const QString& app_dir, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      launcher_(launcher),
      ui_(ui),
      app_dir_(app_dir) {
  setObjectName("FrmCodeErrorForm");
  setWindowTitle("Error Info");
  setFixedSize(413, 96);

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setGeometry(12, 10, 32, 32);
  Image1->setPixmap(artwork::Picture("warning", QSize(32, 32), devicePixelRatioF()));

  Label1 = new QLabel(
      "Files reading error! Please check your files or install a new codec.You can click the "
      "link to download the lastest codec.",
      this);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label1->setGeometry(56, 8, 345, 50);

  Label2 = new TLinkLabel("(Click here to down)", this);
  Label2->setObjectName("Label2");
  Label2->setStyleSheet("color: palette(link); text-decoration: underline;");
  Label2->setCursor(Qt::PointingHandCursor);
  Label2->adjustSize();
  connect(Label2, &TLinkLabel::clicked, this, &TFrmCodeErrorForm::Label2Click);

  BitBtn1 = new QPushButton("OK", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setGeometry(326, 64, 75, 25);
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
  PlaceLink();
}

void TFrmCodeErrorForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  PlaceLink();
  if (QWidget* owner = parentWidget())
    move(owner->geometry().center() - QPoint(width() / 2, height() / 2));
}

// The link sits right after the last word of Label1, as if it ended the text;
// when the line has no room left it goes to the start of the next line.
void TFrmCodeErrorForm::PlaceLink() {
  QTextLayout layout(Label1->text(), Label1->font());
  QTextOption option;
  option.setWrapMode(QTextOption::WordWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  qreal y = 0;
  QTextLine last;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(Label1->width());
    line.setPosition(QPointF(0, y));
    y += line.height();
    last = line;
  }
  layout.endLayout();
  if (!last.isValid()) return;
  int x = Label1->x() + qCeil(last.naturalTextWidth()) + 4;
  int top = Label1->y() + qRound(last.y());
  if (x + Label2->width() > Label1->geometry().right()) {
    x = Label1->x();
    top += qRound(last.height());
  }
  Label2->move(x, top);
}

void TFrmCodeErrorForm::Label2Click() {
  OpenForPerson(launcher_, ui_, UrlForAddress(kCodecHelp, app_dir_), "the page about codecs");
}

int ShowCodeErrorForm(ShellLauncher& launcher, UserInterface& ui, const QString& app_dir,
                      QWidget* owner) {
  TFrmCodeErrorForm dialog(launcher, ui, app_dir, owner);
  return dialog.exec();
}
