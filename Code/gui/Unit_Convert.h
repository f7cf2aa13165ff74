// TFrmMainForm: Tonbrix's main window. A frameless window whose outline is cut
// to its background picture, with the title band, the system row, the preview,
// the settings and the source list in their regions; its keyboard shortcuts,
// the window commands (move, minimize, close) and the system commands (home
// page, e-mail, help, About box), the Options button and the output folder
// choice.
//
// Its controls are public, named as the rest of the program knows them: the
// other windows and the later handlers read and write them directly. Each
// control's objectName is its name; picture buttons carry an accessible name.
//
// One instance, the first window created at program entry; it lives until
// the process ends. User-interface thread only.
#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "ApplicationContext.h"
#include "MediaGraph.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QSlider;
class QTimer;
class QFileDialog;
class MainFormBatchWindows;
class PowerSwitch;
class QtSourceFileDialog;
class TSourceListView;
class TFrmInitFileForm;
class TPictureButton;
class TfrmConverting;
class TfrmOption;
class MainFormInputs;
class TMarkerBar;
class MainFormProfileControls;
class WaveformView;
class WaveformEditor;

// Where a window of `size` goes on a screen whose free area is `available`:
// centred, moved inside it, and with its top-left corner on it when it is the
// larger.
QPoint PlaceInside(const QRect& available, const QSize& size);

class TFrmMainForm : public QWidget {
  Q_OBJECT

 public:
  // The design client area and the smallest size the window may take.
  static constexpr int kDesignWidth = 692;
  static constexpr int kDesignHeight = 456;
  static constexpr int kMinimumWidth = 686;
  static constexpr int kMinimumHeight = 519;

  // `preview_graph` becomes FilterGraph, the preview's media graph.
  TFrmMainForm(TApplicationContext& context, std::unique_ptr<MediaGraph> preview_graph);
  ~TFrmMainForm() override;

  // The windows created after this one at program entry.
  void SetWindows(TfrmConverting* converting, TfrmOption* option, TFrmInitFileForm* init_file);

  // Shows the window the way program entry does: the outline is cut, FormShow
  // runs (splash, set-up steps), then the window comes up on the screen.
  // Nothing is shown when the application was asked to end meanwhile.
  void ShowMainForm();

  // The window caption, shown through lblTitle.
  void SetTitle(const QString& title);

  // What the command-line builder reads from this window.
  MainFormInputs& Inputs();

  // The one wiring step, run by InitApplication right after it has made
  // TCommonLib and TCustomProc, exactly once: hands them this window's list
  // services, folder opener, power switch, batch windows, profile controls,
  // preview graph and preview controls, gives the progress window the
  // controller and hooks the list's edits. Before it has run the handlers do
  // nothing (the process-wide objects do not exist yet); after it every
  // collaborator is connected and no handler connects anything.
  void WireProgramObjects();

  // ---- set-up steps of FormShow, filled in by the list, profile and settings
  // code; each may run before the lists hold anything.
  void InitOptionLists();
  void RegisterDropTarget();
  void ApplyProfile();

  // ---- handlers ------------------------------------------------------------
  void FormShow();
  void FormResize();
  void FormClose();
  // The key preview: runs the shortcut of a key press before the focused
  // control gets it (the key is not consumed).
  void FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
  void actMinimizeExecute();
  void actCloseWindowExecute();
  void ActSysHomePageExecute();
  void ActSysEmailExecute();
  void ActSysHelpExecute();
  void ActSysAboutExecute();
  void btnOptionsClick();
  void btnSelectOutputFolderClick();
  // Shows a new codec-missing dialog over this window; its result.
  int ShowCodeErrorForm();

  TApplicationContext& Context() { return context_; }

  // ---- Profiles and user settings (MainFormProfiles.cpp) ----
  void cbbOutputFiletypeChange();
  void cbbProfileChange();
  // The profile controls over this window and the Options window; made (and
  // the two handlers connected) on first use.
  ProfileControls& Profiles();
  // SaveUserSettings for the close handler; a failure is logged only.
  void SaveUserSettingsAtClose();

  // ---- controls ------------------------------------------------------------
  QWidget* rzfrmshpfrmConverter;  // the background picture
  QLabel* lblTitle;
  TPictureButton* btnWindowMinimize;
  TPictureButton* btnWindowClose;
  TPictureButton* btnHomePage;
  TPictureButton* btnEMail;
  TPictureButton* btnHelp;
  TPictureButton* btnAbout;

  QWidget* DSVideoWindowEx1;
  QWidget* panLogo;
  QLabel* imgLOGO;
  // The waveform editor over the logo, shown while a song is selected.
  WaveformView* WaveformView1;
  QWidget* Panel1;
  QLabel* Panel2;
  QWidget* Splitter1;
  QLabel* Panel4;
  QWidget* Splitter2;
  QLabel* Panel3;
  TPictureButton* btnPlay;
  TPictureButton* btnPause;
  TPictureButton* btnStop;
  QLabel* imgPlay;
  QLabel* pnlCurTime;

  QLabel* Image1;
  QLabel* lblOutputFileTypeName;
  QComboBox* cbbOutputFiletype;
  QLabel* lblProfileSettings;
  QComboBox* cbbProfile;
  TPictureButton* btnOptions;
  QLabel* lblOutputFolderInfo;
  QLineEdit* edtOutputFolder;
  TPictureButton* RzBmpButton1;
  TPictureButton* btnSelectOutputFolder;
  QCheckBox* chkShutdown;
  QLabel* Label1;
  QCheckBox* chkShowOutputDirectory;
  QLabel* Label2;

  TSourceListView* dxTreeSourceFileInfo;  // shows the rows of SourceFiles()
  TPictureButton* btnOpenFile;
  TPictureButton* btnRemoveFile;
  TPictureButton* btnClearFile;
  TPictureButton* btnConvert;

  QSlider* dstrckbrMainform;
  QLabel* imgL;
  QLabel* imgR;

  // ---- non-visual components ------------------------------------------------
  std::unique_ptr<MediaGraph> FilterGraph;
  QAction* ActSysHomePage;
  QAction* ActSysEmail;
  QAction* ActSysAbout;
  QAction* ActSysHelp;
  QAction* actMinimize;
  QAction* actCloseWindow;
  QTimer* tmrClearMemory = nullptr;  // started once TCommonLib exists
  QTimer* tmrPaintSP;

  // The other windows.
  TfrmConverting* frmConverting = nullptr;
  TfrmOption* frmOption = nullptr;
  TFrmInitFileForm* FrmInitFileForm = nullptr;

  // ---- Source list and batch conversion (MainFormList.cpp) ----
  // The rows of the source list, owned by dxTreeSourceFileInfo's model.
  SourceFileList& SourceFiles();
  // The open dialog of btnOpenFileClick; multi-select, in Qt's filter syntax.
  QFileDialog* dlgOpenSourceFile = nullptr;
  // The power-off request after a batch; not owned. Left empty, the request
  // is only logged: the program entry gives the real one, tests a recorder.
  PowerSwitch* PowerOffSwitch = nullptr;
  void btnOpenFileClick();
  // Files dropped on the window or the list, full paths in drop order.
  void FormDropFiles(const QStringList& files);
  void btnRemoveFileClick();
  void btnClearFileClick();
  void dxTreeSourceFileInfoKeyDown(int key);
  void dxTreeSourceFileInfoKeyUp(int key);
  void actDxTreeListOnClickExecute();
  void dxTreeSourceFileInfoEndDrag(QObject* target);
  void btnConvertClick();

  // ---- Preview player and segment marker (MainFormPreview.cpp) ----
  // The marker bar Panel1.
  TMarkerBar* MarkerBar() const;
  // What keeps the waveform view in step with the list, the marker and the
  // player; null until WireProgramObjects.
  WaveformEditor* WaveformEditing() const { return waveform_editor_; }
  void btnPlayClick();
  void btnPauseClick();
  void btnStopClick();
  // The preview graph's ticker, once a second while it runs.
  void dstrckbrMainformTimer(MediaGraph& sender, int64_t current_pos, int64_t stop_pos);
  // The handles' moved events and the presses on the bar's images.
  void SetStartTimeAndPlay();
  void Splitter2Moved();
  void Panel2MouseDown(Qt::MouseButton button, Qt::MouseButtons buttons,
                       Qt::KeyboardModifiers modifiers, bool double_click);
  void Panel3MouseDown(Qt::MouseButton button, Qt::MouseButtons buttons,
                       Qt::KeyboardModifiers modifiers, bool double_click);
  // A committed edit of a cell of the list, and a change in the Start Time
  // editor.
  void dxTreeSourceFileInfoEdited();
  void dxtrlSourceFileStartTimeChange();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // ---- Source list and batch conversion ----
  void BuildSourceList();
  void ResetMarkerEnds();
  // The list's and the batch's part of WireProgramObjects.
  void WireSourceList(TCommonLib& common, TCustomProc& proc);
  MainFormBatchWindows* batch_windows_ = nullptr;  // child QObject
  QtSourceFileDialog* open_dialog_ = nullptr;      // child QObject

  void BuildTitleBand();
  void BuildPreview();
  void BuildSettings();
  void BuildList();
  void BuildActions();
  void CutOutline();
  void RefreshArtwork();
  // Lets the window be moved by dragging `handle`.
  void MakeMoveHandle(QWidget* handle);
  // The click action of a button, run even while the button is hidden or
  // disabled (a shortcut or a drag reaches the command whatever the button
  // looks like).
  static void RunClick(QAbstractButton* button);

  TApplicationContext& context_;
  std::unique_ptr<MainFormInputs> inputs_;
  // ---- Preview player and segment marker ----
  void BuildPreviewHandlers();
  // The preview's and the marker's part of WireProgramObjects.
  void WirePreview(TCustomProc& proc);
  std::unique_ptr<PreviewControls> preview_controls_;
  WaveformEditor* waveform_editor_ = nullptr;            // a child object
  MainFormProfileControls* profile_controls_ = nullptr;  // profiles: a child object
  QImage background_;
  bool closing_ = false;
  // A drag of a move handle that the window follows by itself (no desktop
  // move available): where the press was, relative to the window.
  bool manual_drag_ = false;
  QPoint drag_offset_;
};
