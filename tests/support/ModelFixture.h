#pragma once

// A model over a scripted engine, in a temporary output folder with its own preferences file.

#include "core/AppModel.h"
#include "support/ScriptedEngine.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class ModelFixture : public ::testing::Test {
protected:
    static constexpr std::chrono::milliseconds debounce{20};

    QTemporaryDir root;
    std::shared_ptr<Preferences> prefs = std::make_shared<Preferences>(root.filePath("prefs.ini"));
    ScriptedEngine* engine = nullptr;  // owned by the model
    std::unique_ptr<AppModel> model;

    // The quiet time of the model's debounced saves; set before makeModel.
    std::chrono::milliseconds saveDebounce = debounce;

    QString outputFolder() const { return root.filePath("out"); }

    // Builds the model; the engine can be scripted by `setUp` before start-up runs.
    AppModel& makeModel(const std::function<void(ScriptedEngine&)>& setUp = {});

    // The engine's first scanner, announced and delivered.
    void announceScanner(const QString& id = "test:1", const QString& name = "Test Flatbed");
};
