// SPDX-License-Identifier: MIT
#include "model/SearchJob.h"

#include "model/TallyfernDocument.h"
#include "platform/MainThread.h"
#include "platform/SerialQueue.h"

#include <QPointer>

SearchJob::SearchJob(TallyfernDocument& document, QObject* parent)
    : QObject(parent)
    , m_document(document)
{
}

SearchJob::~SearchJob()
{
    cancel();
}

QString SearchJob::start(const FileNode* root, const QString& query, bool regularExpression)
{
    const SearchSession::Flag flag = m_session.renew();
    std::string error;
    std::optional<NameSearch> search = NameSearch::compile(query.toStdString(), regularExpression, error);
    if (!search)
        return QString::fromStdString(error);
    // The queue belongs to the document and runs what it holds before the document goes.
    m_document.renderQueue().async([search = std::move(*search), root, flag, self = QPointer(this)] {
        std::optional<NameSearch::Found> found = search.run(root, *flag);
        if (!found)
            return;
        auto result = std::make_shared<Result>();
        result->items = std::make_shared<const NodeSet>(found->items);
        result->found = std::move(*found);
        Dispatch::postToMain([self, flag, result = std::shared_ptr<const Result>(std::move(result))] {
            // A change of the tree since may have freed what it names.
            if (self && !flag->load())
                emit self->found(result);
        });
    });
    return {};
}

void SearchJob::cancel()
{
    m_session.cancel();
}
