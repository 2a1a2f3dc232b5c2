// The working folder of the main window: the drive, the folder tree from the root down to the
// folder with its subfolders, and the folder's files with a filter. Choosing a folder makes it
// the process's current directory.
#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace korvane::ui {

class UserDialogs;

inline constexpr const char* kFolderCannotOpen = "Folder can not be opened!";

class FolderBrowser : public QWidget {
  Q_OBJECT

 public:
  // Starts on the process's current directory.
  FolderBrowser(UserDialogs& dialogs, QWidget* parent = nullptr);

  // Makes a folder the working folder: the process's current directory, the folder tree and
  // the file list follow it. False, with a message, when the folder cannot be entered.
  bool OpenFolder(const QString& path);
  QString CurrentFolder() const { return currentFolder_; }
  // Re-reads the file list from the working folder with the chosen filter.
  void RefreshFileList();

  QComboBox* DriveBox = nullptr;      // "DriveComboBox1"
  QTreeWidget* FolderTree = nullptr;  // "DirectoryListBox1"
  QListWidget* FileList = nullptr;    // "FileListBox1"
  QComboBox* FilterBox = nullptr;     // "FilterComboBox1"

 private:
  void FillDriveList();
  void FillDirectoryList();
  void DirectoryActivated(QTreeWidgetItem* item);
  void DriveChosen(int index);

  UserDialogs& dialogs_;
  QString currentFolder_;
};

}  // namespace korvane::ui
