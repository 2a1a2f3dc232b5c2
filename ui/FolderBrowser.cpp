#include "ui/FolderBrowser.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/UserDialogs.h"

namespace korvane::ui {

FolderBrowser::FolderBrowser(UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs) {
  setObjectName("FolderBrowser");
  DriveBox = new QComboBox(this);
  DriveBox->setObjectName("DriveComboBox1");
  DriveBox->setFixedWidth(145);
  FolderTree = new QTreeWidget(this);
  FolderTree->setObjectName("DirectoryListBox1");
  FolderTree->setHeaderHidden(true);
  FolderTree->setIndentation(10);
  FolderTree->setFixedWidth(145);
  FolderTree->setMinimumHeight(100);
  FileList = new QListWidget(this);
  FileList->setObjectName("FileListBox1");
  FileList->setFixedWidth(143);
  FileList->setMinimumHeight(100);
  FilterBox = new QComboBox(this);
  FilterBox->setObjectName("FilterComboBox1");
  FilterBox->setFixedWidth(143);
  // "*" is every file here, as *.* is on the systems where every name has an extension.
  FilterBox->addItem("All files (*.*)", QStringLiteral("*"));
  FilterBox->addItem("Text files (*.*)", QStringLiteral("*.txt"));
  connect(DriveBox, &QComboBox::activated, this, &FolderBrowser::DriveChosen);
  connect(FolderTree, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item, int) { DirectoryActivated(item); });
  connect(FilterBox, &QComboBox::currentIndexChanged, this, [this] { RefreshFileList(); });

  auto* folders = new QVBoxLayout;
  folders->setSpacing(4);
  folders->addWidget(DriveBox);
  folders->addWidget(FolderTree, 1);
  auto* files = new QVBoxLayout;
  files->setSpacing(4);
  files->addWidget(FileList, 1);
  files->addWidget(FilterBox);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  layout->addLayout(folders);
  layout->addLayout(files);

  currentFolder_ = QDir::currentPath();
  FillDriveList();
  FillDirectoryList();
  RefreshFileList();
}

void FolderBrowser::FillDriveList() {
  DriveBox->clear();
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QString root = volume.rootPath();
    if (DriveBox->findData(root) >= 0) continue;
    const QString name = volume.displayName();
    DriveBox->addItem(name == root ? root : QStringLiteral("%1  [%2]").arg(root, name), root);
  }
}

void FolderBrowser::FillDirectoryList() {
  FolderTree->clear();
  // The chain of folders from the root down to the working folder, then its subfolders.
  QStringList chain;
  QDir walk(currentFolder_);
  chain.prepend(walk.absolutePath());
  while (walk.cdUp()) chain.prepend(walk.absolutePath());

  const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
  const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
  QTreeWidgetItem* parent = nullptr;
  for (const QString& path : chain) {
    const QString name = QDir(path).dirName();
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(FolderTree);
    item->setText(0, name.isEmpty() || QDir(path).isRoot() ? QDir::toNativeSeparators(path) : name);
    item->setData(0, Qt::UserRole, path);
    item->setIcon(0, openIcon);
    parent = item;
  }
  const QFileInfoList subfolders =
      QDir(currentFolder_)
          .entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& info : subfolders) {
    auto* item = new QTreeWidgetItem(parent);
    item->setText(0, info.fileName());
    item->setData(0, Qt::UserRole, info.absoluteFilePath());
    item->setIcon(0, closedIcon);
  }
  FolderTree->expandAll();
  if (parent != nullptr) {
    FolderTree->setCurrentItem(parent);
    FolderTree->scrollToItem(parent);
  }

  // The drive list shows the volume that holds the working folder.
  int best = -1;
  qsizetype bestLength = -1;
  for (int i = 0; i < DriveBox->count(); ++i) {
    const QString root = DriveBox->itemData(i).toString();
    const bool holds =
        currentFolder_ == root || currentFolder_.startsWith(root.endsWith('/') ? root : root + '/');
    if (holds && root.size() > bestLength) {
      best = i;
      bestLength = root.size();
    }
  }
  if (best >= 0) DriveBox->setCurrentIndex(best);
}

bool FolderBrowser::OpenFolder(const QString& path) {
  const QString absolute = QDir(path).absolutePath();
  if (!QDir(absolute).exists() || !QDir::setCurrent(absolute)) {
    dialogs_.Message(kFolderCannotOpen);
    return false;
  }
  currentFolder_ = QDir::currentPath();
  FillDirectoryList();
  RefreshFileList();
  return true;
}

void FolderBrowser::DirectoryActivated(QTreeWidgetItem* item) {
  if (item == nullptr) return;
  OpenFolder(item->data(0, Qt::UserRole).toString());
}

void FolderBrowser::DriveChosen(int index) {
  if (index < 0) return;
  if (!OpenFolder(DriveBox->itemData(index).toString())) {
    FillDirectoryList();  // puts the drive list back on the working folder's volume
  }
}

void FolderBrowser::RefreshFileList() {
  const QString pattern = FilterBox->currentData().toString();
  const QStringList names =
      QDir(currentFolder_).entryList({pattern}, QDir::Files, QDir::Name | QDir::IgnoreCase);
  FileList->clear();
  FileList->addItems(names);
}

}  // namespace korvane::ui
