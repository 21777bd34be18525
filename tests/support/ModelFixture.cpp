#include "support/ModelFixture.h"

AppModel& ModelFixture::makeModel(const std::function<void(ScriptedEngine&)>& setUp)
{
    auto scripted = std::make_unique<ScriptedEngine>();
    engine = scripted.get();
    if (setUp) setUp(*engine);
    AppModelOptions options;
    options.preferences = prefs;
    options.outputDir = outputFolder();
    options.saveDebounce = saveDebounce;
    model = std::make_unique<AppModel>(std::move(scripted), options);
    return *model;
}

void ModelFixture::announceScanner(const QString& id, const QString& name)
{
    engine->announce({id, name});
    spinUntil([&] { return model->scanners().size() == engine->scannerChoices().size(); });
}
