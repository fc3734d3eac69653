// SPDX-License-Identifier: MIT
// Save Scan As: the document's tree as it stands, written in the ncdu JSON format off
// the main thread.
#include "window/DocumentWindowController.h"

#include "model/TallyfernDocument.h"
#include "platform/DisplayName.h"
#include "platform/MainThread.h"
#include "scan/ScanStream.h"
#include "scan/ScanWriter.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>

#include <new>

void DocumentWindowController::saveScanAs()
{
    auto* panel = new QFileDialog(this, tr("Save Scan As"));
    panel->setObjectName(QStringLiteral("saveScanPanel"));
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setOption(QFileDialog::DontUseNativeDialog, true);
    panel->setNameFilters({ tr("Saved scans (*.json *.json.gz *.json.zst)"), tr("All files (*)") });
    panel->setDefaultSuffix(QStringLiteral("json"));
    panel->setDirectory(QDir::home());
    panel->selectFile(m_disk->displayName() + QStringLiteral(".json"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::fileSelected, this,
        [this](const QString& file) { writeScan(QFile::encodeName(file).toStdString()); });
    panel->open();
}

void DocumentWindowController::writeScan(const std::string& path)
{
    if (!canPerform(Command::SaveScanAs))
        return;
    // A saved scan keeps what its file said: its paths are still those of the machine
    // it was made on.
    const ScanMetadata metadata
        = m_disk->savedOrigin ? m_disk->savedOrigin->metadata : ScanWriter::metadataFor(m_disk->path());
    m_statusLabel->setText(tr("Saving the scan to %1…").arg(DisplayName::decode(path)));
    // On the render queue, where the tree holds still; changes wait for the write to end.
    TallyfernDocument* disk = m_disk.get();
    QPointer<DocumentWindowController> self(this);
    disk->renderQueue().async([disk, path, metadata, self] {
        std::string error;
        try {
            ScanSink sink(path);
            // The sink fails for good at the first fault, so commit() reports any of them
            // and never puts an incomplete file in place.
            (void)disk->save(metadata, sink);
            if (!sink.commit())
                error = sink.error();
        } catch (const std::bad_alloc&) {
            error = path + ": not enough memory to save the scan";
        }
        Dispatch::postToMain([self, path, error] {
            if (!self || self->m_closeHandled)
                return;
            if (error.empty()) {
                self->m_statusLabel->setText(tr("Saved the scan to %1").arg(DisplayName::decode(path)));
                return;
            }
            self->m_statusLabel->clear();
            auto* box = new QMessageBox(QMessageBox::Warning, tr("Scan not saved"),
                tr("The scan could not be saved."), QMessageBox::Ok, self);
            box->setObjectName(QStringLiteral("saveFailed"));
            box->setInformativeText(DisplayName::decode(error));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        });
    });
}
