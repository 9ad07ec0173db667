#pragma once
// Tfm_dir: the output folder chooser, shown by the settings dialog's Browse.
// A tree of folders only: the user's home folder at the top (expanded and
// selected at the first showing) with the XDG user folders first, Music
// leading, then the file system root and the mounted volumes beside it.
// The tree keeps its expansion and selection between showings, and like
// the shell tree it stands in for, it does not follow later changes on
// disk: a folder is listed when it is first opened.

#include <QDialog>
#include <QPushButton>
#include <QTreeView>

class FolderTreeModel;

class Tfm_dir : public QDialog
{
    Q_OBJECT
public:
    explicit Tfm_dir(QWidget *parent = nullptr);

    void FormShow();
    void btn_okClick();
    void btn_cancelClick();

    // The dialog's result: the chosen folder's full path, empty for none.
    QString chosen_folder;
    QTreeView *stview_selectdir = nullptr;
    QPushButton *btn_ok = nullptr;
    QPushButton *btn_cancel = nullptr;

    // The folder of the selected node; empty when none is selected.
    QString selected_folder() const;
    // Expands the tree down to `path` and selects it; false when no node holds it.
    bool select_folder(const QString &path);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    FolderTreeModel *m_model = nullptr;
    bool m_shown_before = false;
};
