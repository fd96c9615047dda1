#include "ui/QtTranslation.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QTranslator>

namespace brivel::ui {

namespace {
const QString kName = QStringLiteral("qtbase_pt_BR");
}

QString QtTranslationFolder()
{
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
#else
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#endif
}

bool LoadQtTranslation()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    if (app->findChild<QTranslator*>(kName, Qt::FindDirectChildrenOnly))
        return true;
    auto* translator = new QTranslator(app);
    translator->setObjectName(kName);
    // The exact name first: the file is found by the first look-up.
    if (!translator->load(kName, QtTranslationFolder())) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    // The windows that exist take the change now: delivered later, from the loop
    // of a dialog opened meanwhile, it would reach that dialog too and put Qt's
    // plain button texts over the ones it chose (the file dialog's "&Salvar").
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    return true;
}

bool QtTextsTranslated()
{
    // A standard button's text, as Qt's dialogs and boxes take it.
    return QCoreApplication::translate("QPlatformTheme", "Cancel") != QLatin1String("Cancel");
}

} // namespace brivel::ui
