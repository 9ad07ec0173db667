#include "dir.h"

#include "folder_tree_model.h"

#include <QDir>
#include <QMouseEvent>

Tfm_dir::Tfm_dir(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Output Directory"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(302, 284);

    m_model = new FolderTreeModel(this);
    stview_selectdir = new QTreeView(this);
    stview_selectdir->setObjectName(QStringLiteral("stview_selectdir"));
    stview_selectdir->setAccessibleName(QStringLiteral("Folders"));
    stview_selectdir->setGeometry(10, 12, 281, 226);
    stview_selectdir->setModel(m_model);
    stview_selectdir->setHeaderHidden(true);
    stview_selectdir->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stview_selectdir->setSelectionMode(QAbstractItemView::SingleSelection);
    stview_selectdir->setUniformRowHeights(true);
    stview_selectdir->setIndentation(16);
    // The selection stays visible when the tree loses the focus.
    QPalette palette = stview_selectdir->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    stview_selectdir->setPalette(palette);
    stview_selectdir->viewport()->installEventFilter(this);

    btn_ok = new QPushButton(QStringLiteral("OK"), this);
    btn_ok->setObjectName(QStringLiteral("btn_ok"));
    btn_ok->setGeometry(53, 249, 75, 25);
    btn_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    btn_cancel->setObjectName(QStringLiteral("btn_cancel"));
    btn_cancel->setGeometry(169, 249, 75, 25);
    for (QPushButton *b : {btn_ok, btn_cancel})
        b->setAutoDefault(false);
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_dir::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_dir::btn_cancelClick);
}

void Tfm_dir::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void Tfm_dir::FormShow()
{
    chosen_folder.clear();
    if (m_shown_before)
        return;
    m_shown_before = true;
    const QModelIndex home = m_model->index(0, 0);
    stview_selectdir->expand(home);
    stview_selectdir->setCurrentIndex(home);
}

QString Tfm_dir::selected_folder() const
{
    const QModelIndexList chosen = stview_selectdir->selectionModel()->selectedIndexes();
    return chosen.isEmpty() ? QString() : m_model->path(chosen.first());
}

bool Tfm_dir::select_folder(const QString &path)
{
    const QModelIndex at = m_model->find(path);
    if (!at.isValid() || m_model->path(at) != QDir::cleanPath(path))
        return false;
    for (QModelIndex up = at.parent(); up.isValid(); up = up.parent())
        stview_selectdir->expand(up);
    stview_selectdir->setCurrentIndex(at);
    stview_selectdir->scrollTo(at);
    return true;
}

void Tfm_dir::btn_okClick()
{
    chosen_folder = selected_folder();
    accept();
}

void Tfm_dir::btn_cancelClick()
{
    chosen_folder.clear();
    reject();
}

bool Tfm_dir::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == stview_selectdir->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            const QModelIndex at = stview_selectdir->indexAt(mouse->position().toPoint());
            if (at.isValid())
                stview_selectdir->setCurrentIndex(at);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
