#include "services.h"

#include "sleep_inhibitor.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>

namespace
{

class SystemClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class WidgetDialogs : public Dialogs
{
public:
    std::optional<SaveChoice> save_file(QWidget *parent, const QString &initial_folder,
                                        const QString &filter) override
    {
        QFileDialog dialog(parent, QString(), initial_folder, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const int index =
            static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter()));
        return SaveChoice{dialog.selectedFiles().first(), index < 0 ? 1 : index + 1};
    }
    std::optional<QStringList> open_files(QWidget *parent, const QString &initial_folder,
                                          const QString &filter) override
    {
        QFileDialog dialog(parent, QString(), initial_folder, filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles();
    }
    std::optional<QString> open_file(QWidget *parent, const QString &initial_folder) override
    {
        QFileDialog dialog(parent, QString(), initial_folder);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }
    void information(QWidget *parent, const QString &text) override
    {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text,
                        QMessageBox::Ok, parent);
        box.exec();
    }
    void message_box(QWidget *parent, const QString &text, const QString &caption) override
    {
        QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
        box.exec();
    }
    bool ask_yes_no(QWidget *parent, const QString &text) override
    {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text,
                        QMessageBox::Yes | QMessageBox::No, parent);
        return box.exec() == QMessageBox::Yes;
    }
};

} // namespace

void Services::complete()
{
    if (!clock)
        clock = std::make_unique<SystemClock>();
    if (!dialogs)
        dialogs = std::make_unique<WidgetDialogs>();
    if (!inhibitor)
        inhibitor = std::make_unique<LoginManagerInhibitor>();
    if (!restart)
        restart = [] { QProcess::startDetached(QCoreApplication::applicationFilePath(), {}); };
    if (program_folder.isEmpty())
        program_folder = QCoreApplication::applicationDirPath();
}
