// The main window's source list and batch commands: the open dialog with the
// busy window, dropped files, remove (button, Delete key, drag out), clear,
// the list's key and click events, and Convert with the progress window.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <stdexcept>

#include "Errors.h"
#include "FfmpegMediaGraph.h"
#include "GuiErrors.h"
#include "InitFileForm.h"
#include "MainFormBatchWindows.h"
#include "PictureButton.h"
#include "QtSourceFileDialog.h"
#include "SourceListView.h"
#include "Unit_Convert.h"
#include "Unit_Converting.h"

// The filter of the open dialog, in the program's "Caption|patterns" form.
static const char kOpenDialogFilter[] =
    "Supported Files|*.aac;*.ac3;*.m4a;*.mp2;*.mp3;*.ogg;*.tta;*.wav;*.wma;|"
    "AAC Audio Files (*.aac)|*.aac|AC3 Audio Files (*.ac3)|*.ac3|M4A Audio Files (*.m4a)|*.m4a|"
    "MP2, MP3 Auido Files (*.mp2, mp3)|*.mp2;*.mp3|OGG Audio Files (*.ogg)|*.ogg|"
    "TTA Audio Files (*.tta)|*.tta|WAV Audio Files (*.wav)|*.wav|WMA Audio Files (*.wma)|*.wma";

namespace {

std::vector<std::string> ToNames(const QStringList& files) {
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(files.size()));
  for (const QString& file : files) names.push_back(file.toStdString());
  return names;
}

}  // namespace

SourceFileList& TFrmMainForm::SourceFiles() { return dxTreeSourceFileInfo->List(); }

void TFrmMainForm::BuildSourceList() {
  auto* view = new TSourceListView(this);
  dxTreeSourceFileInfo = view;
  view->setGeometry(22, 318, 566, 179);

  dlgOpenSourceFile = new QFileDialog(this);
  dlgOpenSourceFile->setObjectName("dlgOpenSourceFile");
  dlgOpenSourceFile->setFileMode(QFileDialog::ExistingFiles);
  dlgOpenSourceFile->setAcceptMode(QFileDialog::AcceptOpen);
  dlgOpenSourceFile->setOption(QFileDialog::ReadOnly, false);
  dlgOpenSourceFile->setSizeGripEnabled(true);
  dlgOpenSourceFile->setNameFilters(QtFilterFromDialogFilter(kOpenDialogFilter));
  open_dialog_ = new QtSourceFileDialog(dlgOpenSourceFile, this);
  batch_windows_ = new MainFormBatchWindows(*this);

  connect(btnOpenFile, &QAbstractButton::clicked, this, &TFrmMainForm::btnOpenFileClick);
  connect(btnRemoveFile, &QAbstractButton::clicked, this, &TFrmMainForm::btnRemoveFileClick);
  connect(btnClearFile, &QAbstractButton::clicked, this, &TFrmMainForm::btnClearFileClick);
  connect(btnConvert, &QAbstractButton::clicked, this, &TFrmMainForm::btnConvertClick);
  connect(view, &TSourceListView::filesDropped, this, &TFrmMainForm::FormDropFiles);
  connect(view, &TSourceListView::listKeyDown, this, &TFrmMainForm::dxTreeSourceFileInfoKeyDown);
  connect(view, &TSourceListView::listKeyUp, this, &TFrmMainForm::dxTreeSourceFileInfoKeyUp);
  connect(view, &TSourceListView::listClicked, this, &TFrmMainForm::actDxTreeListOnClickExecute);
  connect(view, &TSourceListView::dxTreeSourceFileInfoEndDrag, this,
          &TFrmMainForm::dxTreeSourceFileInfoEndDrag);
  connect(view, &TSourceListView::timeRefused, this, [this](const QString& reason) {
    RunHandler(context_.Ui, [&reason] { throw ConversionError(reason.toStdString()); });
  });
}

void TFrmMainForm::WireSourceList(TCommonLib& common, TCustomProc& proc) {
  TCommonLib::SourceListServices services;
  // The probe graph never plays, so it needs no sound device.
  services.NewMediaGraph = [] {
    return std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent);
  };
  services.ShowCodeErrorForm = [this] { ShowCodeErrorForm(); };
  services.SyncMarkerToSelection = [&proc] { proc.SyncMarkerToSelection(); };
  services.DefaultFades = [&proc] {
    const FinishingSettings& finishing = proc.Finishing;
    return RowFades{finishing.FadeInSeconds, finishing.FadeOutSeconds};
  };
  common.SetSourceListServices(std::move(services));
  common.SetFolderOpener([this](const std::string& folder) {
    OpenForPerson(context_.Launcher, context_.Ui,
                  QUrl::fromLocalFile(QString::fromStdString(folder)), "the output folder");
  });
  common.SetPowerSwitch(PowerOffSwitch);
  proc.SetBatchWindows(batch_windows_);
  if (frmConverting != nullptr) frmConverting->SetCustomProc(&proc, &context_.Ui);
}

// Both outer images of the marker back to their narrowest.
void TFrmMainForm::ResetMarkerEnds() {
  Panel2->resize(2, Panel2->height());
  Panel3->resize(2, Panel3->height());
}

void TFrmMainForm::btnOpenFileClick() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc == nullptr) return;  // before start-up
    TCustomProc& proc = *context_.CustomProc;
    const std::vector<std::string> names =
        TCommonLib::OpenSourceFiles(*open_dialog_, true, proc.ReadInitDir());
    // The dialog's file name, whose folder is remembered for the next time.
    const std::string chosen = names.empty() ? std::string() : names.front();
    QStringList files;
    for (const std::string& name : names) files.append(QString::fromStdString(name));
    FrmInitFileForm->SetFileList(files);
    FrmInitFileForm->AddFiles = [this, &proc, chosen](const QStringList& list) {
      context_.CommonLib->AddSourceFiles(SourceFiles(), ToNames(list));
      proc.SaveInitDir(chosen);
    };
    FrmInitFileForm->exec();
    proc.SaveInitDir(chosen);
  });
}

void TFrmMainForm::FormDropFiles(const QStringList& files) {
  RunHandler(context_.Ui, [this, &files] {
    if (context_.CommonLib == nullptr) return;  // before start-up
    context_.CommonLib->AddSourceFiles(SourceFiles(), ToNames(files));
  });
}

void TFrmMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFrmMainForm::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  // Rows of the list dropped here leave the list when their drag ends; they
  // are not files to add.
  if (IsSourceRowsDrag(event->mimeData())) return;
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) files.append(url.toLocalFile());
  }
  if (!files.isEmpty()) FormDropFiles(files);
}

void TFrmMainForm::btnRemoveFileClick() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc == nullptr) return;  // before start-up
    context_.CommonLib->RemoveSelectedFiles(SourceFiles());
    if (SourceFiles().RowCount() == 0) ResetMarkerEnds();
    context_.CustomProc->StopPreview();
    context_.CustomProc->SyncMarkerToSelection();
  });
}

void TFrmMainForm::btnClearFileClick() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc == nullptr) return;  // before start-up
    context_.CommonLib->ClearFileList(SourceFiles());
    context_.CustomProc->StopPreview();
    ResetMarkerEnds();
  });
}

void TFrmMainForm::dxTreeSourceFileInfoKeyDown(int key) {
  RunHandler(context_.Ui, [this, key] {
    if (context_.CustomProc == nullptr) return;  // before start-up
    context_.CustomProc->SyncMarkerToSelection();
    if (key != Qt::Key_Delete) return;
    context_.CommonLib->RemoveSelectedFiles(SourceFiles());
    context_.CustomProc->StopPreview();
    if (SourceFiles().RowCount() == 0) ResetMarkerEnds();
  });
}

void TFrmMainForm::dxTreeSourceFileInfoKeyUp(int) {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc != nullptr) context_.CustomProc->SyncMarkerToSelection();
  });
}

void TFrmMainForm::actDxTreeListOnClickExecute() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc != nullptr) context_.CustomProc->SyncMarkerToSelection();
  });
}

void TFrmMainForm::dxTreeSourceFileInfoEndDrag(QObject* target) {
  // Rows dropped back on the list stay; anywhere else they leave the list.
  if (target == dxTreeSourceFileInfo || target == dxTreeSourceFileInfo->viewport()) return;
  RunClick(btnRemoveFile);
}

void TFrmMainForm::btnConvertClick() {
  RunHandler(context_.Ui, [this] {
    if (context_.CustomProc == nullptr) return;  // before start-up
    context_.CustomProc->CurrentIndex = 0;
    context_.CustomProc->ConvertAll(SourceFiles());
  });
}
