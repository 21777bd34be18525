#pragma once

// A shown, active main window over a model with the scripted engine.

#include "app/Appearance.h"
#include "app/MainWindow.h"
#include "support/ModelFixture.h"

#include <QApplication>
#include <QTest>

class WindowFixture : public ModelFixture {
protected:
    std::unique_ptr<MainWindow> window;
    AppModel* m = nullptr;

    MainWindow& openWindow(const std::function<void(ScriptedEngine&)>& setUp = {})
    {
        Appearance::apply(*qApp);
        // The test mode of the standard paths hides the system's data folders, icons included.
        if (!QIcon::themeSearchPaths().contains("/usr/share/icons"))
            QIcon::setThemeSearchPaths(QIcon::themeSearchPaths() << "/usr/share/icons");
        makeModel(setUp);
        m = model.get();
        window = std::make_unique<MainWindow>(std::move(model));
        window->show();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return *window;
    }

    // Closes the window and lets its model go, once the engine's connections have finished.
    void closeWindow()
    {
        if (engine) spinUntil([&] { return engine->connectsRunning() == 0; });
        window.reset();
        engine = nullptr;
    }

    void TearDown() override { closeWindow(); }

    void announce(const QString& id, const QString& name)
    {
        engine->announce({id, name});
        spinUntil([&] { return m->scanners().size() == engine->scannerChoices().size(); });
    }

    // A region on the bed, as drawn; returns its id.
    QUuid addRegion(double x = 1)
    {
        m->addRegion(QRectF(x, 1, 2, 1.5));
        return m->regions().back().id;
    }

    // Everything the event loop has queued, including deferred key actions.
    static void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
};
