// The main window's construction: its shaped frame, its regions and controls.
// The commands are in Unit_ConvertCommands.cpp.
#include "Unit_Convert.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include "Artwork.h"
#include "MainFormInputs.h"
#include "MarkerBar.h"
#include "PictureButton.h"
#include "SourceListView.h"
#include "WaveformEditor.h"
#include "WaveformView.h"

namespace {

// The background picture, painted for the window's size.
class TFormShape : public QWidget {
 public:
  using QWidget::QWidget;
  QImage Picture;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), Picture);
  }
};

QLabel* MakeLabel(const QString& name, const QString& text, QWidget* parent, int pixel_size,
                  bool bold, const QColor& color) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  QFont font = label->font();
  font.setPixelSize(pixel_size);
  font.setBold(bold);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
  return label;
}

QLabel* MakePicture(const QString& name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setScaledContents(true);
  return label;
}

TPictureButton* MakeButton(const QString& name, const QString& glyph, const QString& role,
                           const QRect& geometry, QWidget* parent) {
  auto* button = new TPictureButton(name, glyph, role, parent);
  button->setGeometry(geometry);
  return button;
}

}  // namespace

TFrmMainForm::TFrmMainForm(TApplicationContext& context, std::unique_ptr<MediaGraph> preview_graph)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      FilterGraph(std::move(preview_graph)),
      context_(context),
      inputs_(std::make_unique<MainFormInputs>(*this)) {
  setObjectName("FrmMainForm");
  setWindowTitle("Tonbrix");
  setWindowIcon(QIcon(artwork::Picture("logo", QSize(64, 64), 2)));
  resize(kDesignWidth, kDesignHeight);
  // One size only: the window cannot be maximised or made larger.
  setWindowFlag(Qt::WindowMaximizeButtonHint, false);
  setMaximumSize(kDesignWidth, kMinimumHeight);

  auto* shape = new TFormShape(this);
  shape->setObjectName("rzfrmshpfrmConverter");
  rzfrmshpfrmConverter = shape;
  MakeMoveHandle(rzfrmshpfrmConverter);

  BuildTitleBand();
  BuildPreview();
  BuildSettings();
  BuildList();
  BuildActions();
  FormResize();
}

TFrmMainForm::~TFrmMainForm() {
  // The children outlive this part of the window: what they signal while Qt
  // tears them down (an open cell editor commits as it loses the focus) must
  // not reach handlers of a window that is gone.
  dxTreeSourceFileInfo->Model()->blockSignals(true);
  dxTreeSourceFileInfo->blockSignals(true);
  Panel1->blockSignals(true);
  // It holds the preview graph, which goes before the children do.
  delete waveform_editor_;
}

MainFormInputs& TFrmMainForm::Inputs() { return *inputs_; }

void TFrmMainForm::SetWindows(TfrmConverting* converting, TfrmOption* option,
                              TFrmInitFileForm* init_file) {
  frmConverting = converting;
  frmOption = option;
  FrmInitFileForm = init_file;
}

void TFrmMainForm::SetTitle(const QString& title) {
  setWindowTitle(title);
  lblTitle->setText(windowTitle());
}

void TFrmMainForm::BuildTitleBand() {
  lblTitle = MakeLabel("lblTitle", windowTitle(), this, 19, true, artwork::kText);
  lblTitle->setGeometry(58, 12, 330, 30);
  MakeMoveHandle(lblTitle);

  const QString system_roles[] = {"Home page", "E-mail", "Help (F1)", "About"};
  const char* system_glyphs[] = {"home", "email", "help", "about"};
  TPictureButton** system_buttons[] = {&btnHomePage, &btnEMail, &btnHelp, &btnAbout};
  const char* system_names[] = {"btnHomePage", "btnEMail", "btnHelp", "btnAbout"};
  for (int i = 0; i < 4; ++i) {
    *system_buttons[i] = MakeButton(system_names[i], system_glyphs[i], system_roles[i],
                                    QRect(404 + i * 50, 4, 48, 48), this);
    (*system_buttons[i])->SetFace(TPictureButton::Face::Bare);
    (*system_buttons[i])->SetGlyphSize(26);
  }
  btnHelp->SetHint("Help (F1)", false);

  btnWindowMinimize =
      MakeButton("btnWindowMinimize", "minimize", "Minimize", QRect(616, 14, 28, 28), this);
  btnWindowClose = MakeButton("btnWindowClose", "close", "Close", QRect(648, 14, 28, 28), this);
  for (TPictureButton* button : {btnWindowMinimize, btnWindowClose}) {
    button->SetFace(TPictureButton::Face::Bare);
    button->SetGlyphSize(18);
  }
}

void TFrmMainForm::BuildPreview() {
  DSVideoWindowEx1 = new QWidget(this);
  DSVideoWindowEx1->setObjectName("DSVideoWindowEx1");
  DSVideoWindowEx1->setGeometry(22, 74, 332, 148);
  DSVideoWindowEx1->setAutoFillBackground(true);
  QPalette black = DSVideoWindowEx1->palette();
  black.setColor(QPalette::Window, QColor(0x0b, 0x0e, 0x16));
  DSVideoWindowEx1->setPalette(black);

  panLogo = new QWidget(DSVideoWindowEx1);
  panLogo->setObjectName("panLogo");
  panLogo->setGeometry(DSVideoWindowEx1->rect());
  imgLOGO = MakePicture("imgLOGO", panLogo);
  imgLOGO->setGeometry((panLogo->width() - 84) / 2, (panLogo->height() - 84) / 2, 84, 84);
  WaveformView1 = new WaveformView(DSVideoWindowEx1);
  WaveformView1->setGeometry(DSVideoWindowEx1->rect());
  WaveformView1->hide();

  imgL = MakePicture("imgL", this);
  imgR = MakePicture("imgR", this);
  imgL->setGeometry(0, 0, 19, 19);
  imgR->setGeometry(0, 0, 19, 19);
  imgL->hide();
  imgR->hide();
  auto* bar = new TMarkerBar(imgL, imgR, this);
  bar->move(22 + (332 - 260) / 2, 232);
  Panel1 = bar;
  Panel2 = bar->Panel2;
  Splitter1 = bar->Splitter1;
  Panel4 = bar->Panel4;
  Splitter2 = bar->Splitter2;
  Panel3 = bar->Panel3;

  btnPlay = MakeButton("btnPlay", "play", "Play", QRect(22, 260, 34, 34), this);
  btnPause = MakeButton("btnPause", "pause", "Pause", QRect(60, 260, 34, 34), this);
  btnStop = MakeButton("btnStop", "stop", "Stop", QRect(98, 260, 34, 34), this);
  btnPlay->SetHint("Ctrl + P");
  btnPause->SetHint("Ctrl + U");
  btnStop->SetHint("Ctrl + T");

  imgPlay = MakePicture("imgPlay", this);
  imgPlay->setGeometry(196, 265, 24, 24);
  pnlCurTime = MakeLabel("pnlCurTime", "00:00:00", this, 22, true, artwork::kAccent);
  pnlCurTime->setGeometry(226, 260, 128, 34);
  pnlCurTime->setAlignment(Qt::AlignCenter);
  pnlCurTime->setStyleSheet("background: #000000; border: 1px solid #34415c; border-radius: 4px;");

  dstrckbrMainform = new QSlider(Qt::Horizontal, this);
  dstrckbrMainform->setObjectName("dstrckbrMainform");
  dstrckbrMainform->hide();
  BuildPreviewHandlers();
}

void TFrmMainForm::BuildSettings() {
  Image1 = MakePicture("Image1", this);
  Image1->setGeometry(367, 74, 4, 216);

  const int x = 386;
  const int width = 282;
  lblOutputFileTypeName =
      MakeLabel("lblOutputFileTypeName", "Output FileType:", this, 13, true, artwork::kMutedText);
  lblOutputFileTypeName->setGeometry(x, 74, width, 18);
  cbbOutputFiletype = new QComboBox(this);
  cbbOutputFiletype->setObjectName("cbbOutputFiletype");
  cbbOutputFiletype->setGeometry(x, 94, width, 28);

  lblProfileSettings =
      MakeLabel("lblProfileSettings", "Profile Settings:", this, 13, true, artwork::kMutedText);
  lblProfileSettings->setGeometry(x, 128, width, 18);
  cbbProfile = new QComboBox(this);
  cbbProfile->setObjectName("cbbProfile");
  cbbProfile->setGeometry(x, 148, width - 36, 28);
  btnOptions =
      MakeButton("btnOptions", "options", "Options", QRect(x + width - 30, 147, 30, 30), this);
  btnOptions->SetHint("Ctrl + N");
  btnOptions->SetGlyphSize(18);

  lblOutputFolderInfo =
      MakeLabel("lblOutputFolderInfo", "Output Folder:", this, 13, true, artwork::kMutedText);
  lblOutputFolderInfo->setGeometry(x, 182, width, 18);
  edtOutputFolder = new QLineEdit(QDir::homePath() + "/Tonbrix", this);
  edtOutputFolder->setObjectName("edtOutputFolder");
  edtOutputFolder->setReadOnly(true);
  edtOutputFolder->setGeometry(x, 202, width - 36, 28);
  RzBmpButton1 = MakeButton("RzBmpButton1", "folder", "Choose output folder",
                            QRect(x + width - 30, 201, 30, 30), this);
  RzBmpButton1->SetHint("Ctrl + N");
  RzBmpButton1->SetGlyphSize(18);
  btnSelectOutputFolder = MakeButton("btnSelectOutputFolder", "folder", "Choose output folder",
                                     QRect(x + width - 30, 201, 30, 30), this);
  btnSelectOutputFolder->SetHint("Ctrl + B");
  btnSelectOutputFolder->hide();

  chkShutdown = new QCheckBox(this);
  chkShutdown->setObjectName("chkShutdown");
  chkShutdown->setGeometry(x, 243, 18, 18);
  Label1 = MakeLabel("Label1", "Shutdown computer when job is finished.", this, 12, false,
                     artwork::kText);
  Label1->setGeometry(x + 22, 242, width - 22, 20);
  chkShowOutputDirectory = new QCheckBox(this);
  chkShowOutputDirectory->setObjectName("chkShowOutputDirectory");
  chkShowOutputDirectory->setGeometry(x, 267, 18, 18);
  chkShowOutputDirectory->setChecked(true);
  Label2 = MakeLabel("Label2", "Show output directory when done", this, 12, false, artwork::kText);
  Label2->setGeometry(x + 22, 266, width - 22, 20);
  chkShutdown->setAccessibleName(Label1->text());
  chkShowOutputDirectory->setAccessibleName(Label2->text());
}

void TFrmMainForm::BuildList() {
  const int x = 598;
  btnOpenFile = MakeButton("btnOpenFile", "open", "Add files", QRect(x, 318, 72, 34), this);
  btnRemoveFile =
      MakeButton("btnRemoveFile", "remove", "Remove files", QRect(x, 358, 72, 34), this);
  btnClearFile = MakeButton("btnClearFile", "clear", "Clear list", QRect(x, 398, 72, 34), this);
  btnConvert = MakeButton("btnConvert", "convert", "Convert", QRect(x, 440, 72, 57), this);
  btnOpenFile->SetHint("Ctrl + O");
  btnRemoveFile->SetHint("Ctrl + R");
  btnClearFile->SetHint("Ctrl + L");
  btnConvert->SetHint("Ctrl + S");
  btnConvert->setText("Convert");
  btnConvert->SetFace(TPictureButton::Face::Accent);
  BuildSourceList();
}

void TFrmMainForm::BuildActions() {
  auto make_action = [this](const char* name, void (TFrmMainForm::*handler)()) {
    auto* action = new QAction(this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  ActSysHomePage = make_action("ActSysHomePage", &TFrmMainForm::ActSysHomePageExecute);
  ActSysEmail = make_action("ActSysEmail", &TFrmMainForm::ActSysEmailExecute);
  ActSysAbout = make_action("ActSysAbout", &TFrmMainForm::ActSysAboutExecute);
  ActSysHelp = make_action("ActSysHelp", &TFrmMainForm::ActSysHelpExecute);
  actMinimize = make_action("actMinimize", &TFrmMainForm::actMinimizeExecute);
  actCloseWindow = make_action("actCloseWindow", &TFrmMainForm::actCloseWindowExecute);

  connect(btnHomePage, &QAbstractButton::clicked, ActSysHomePage, &QAction::trigger);
  connect(btnEMail, &QAbstractButton::clicked, ActSysEmail, &QAction::trigger);
  connect(btnHelp, &QAbstractButton::clicked, ActSysHelp, &QAction::trigger);
  connect(btnAbout, &QAbstractButton::clicked, ActSysAbout, &QAction::trigger);
  connect(btnWindowMinimize, &QAbstractButton::clicked, actMinimize, &QAction::trigger);
  connect(btnWindowClose, &QAbstractButton::clicked, actCloseWindow, &QAction::trigger);
  connect(btnOptions, &QAbstractButton::clicked, this, &TFrmMainForm::btnOptionsClick);
  connect(RzBmpButton1, &QAbstractButton::clicked, this, &TFrmMainForm::btnSelectOutputFolderClick);
  connect(btnSelectOutputFolder, &QAbstractButton::clicked, this,
          &TFrmMainForm::btnSelectOutputFolderClick);

  // The handles' faces are painted again 10 ms after the bar changed, not
  // for ever: an idle program must not wake up a hundred times a second.
  tmrPaintSP = new QTimer(this);
  tmrPaintSP->setObjectName("tmrPaintSP");
  tmrPaintSP->setInterval(10);
  tmrPaintSP->setSingleShot(true);
  connect(tmrPaintSP, &QTimer::timeout, this, [this] {
    Splitter1->update();
    Splitter2->update();
  });
  connect(MarkerBar(), &TMarkerBar::handlesMoved, tmrPaintSP, qOverload<>(&QTimer::start));
}

void TFrmMainForm::RefreshArtwork() {
  const qreal ratio = devicePixelRatioF();
  background_ = artwork::MainBackground(size(), ratio);
  static_cast<TFormShape*>(rzfrmshpfrmConverter)->Picture = background_;
  rzfrmshpfrmConverter->setGeometry(rect());
  rzfrmshpfrmConverter->lower();
  rzfrmshpfrmConverter->update();

  imgLOGO->setPixmap(artwork::Picture("logo", imgLOGO->size(), ratio));
  imgL->setPixmap(artwork::Picture("handle_left", imgL->size(), ratio));
  imgR->setPixmap(artwork::Picture("handle_right", imgR->size(), ratio));
  Panel2->setPixmap(artwork::Picture("marker_outside", QSize(16, 19), ratio));
  Panel3->setPixmap(artwork::Picture("marker_outside", QSize(16, 19), ratio));
  Panel4->setPixmap(artwork::Picture("marker_segment", QSize(16, 19), ratio));
  imgPlay->setPixmap(artwork::Picture("speaker", imgPlay->size(), ratio));
  Image1->setPixmap(artwork::Picture("separator", Image1->size(), ratio));
}

// The outline follows the background picture's opaque pixels, taken from the
// picture at one pixel per window pixel.
void TFrmMainForm::CutOutline() {
  setMask(artwork::RegionFromOpaquePixels(artwork::MainBackground(size(), 1)));
}

void TFrmMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
  RefreshArtwork();
  CutOutline();
}

void TFrmMainForm::MakeMoveHandle(QWidget* handle) { handle->installEventFilter(this); }
