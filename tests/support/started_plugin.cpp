#include "tests/support/started_plugin.h"

#include <algorithm>

#include "common/next_random.h"
#include "common/plugin_directory.h"
#include "config/settings.h"
#include "controller/controller.h"
#include "sound/sound_player.h"
#include "standins/loader/fresh_load.h"
#include "tests/support/call_log.h"
#include "tests/support/recording_bass.h"

namespace {

std::string setting(const char* key, const std::string& value) {
    return std::string(key) + "=" + value + "\n";
}

// The keys the paths depend on; the others keep their defaults.
std::string settingsText() {
    return "[" + std::string(settingsSection) + "]\n" +
           setting(keyOf(&EffectSettings::impactIntensity),
                   std::to_string(StartedPlugin::impactIntensity)) +
           setting(keyOf(&EffectSettings::minImpactMs),
                   std::to_string(StartedPlugin::shortestDuckMs)) +
           setting(keyOf(&EffectSettings::maxImpactMs),
                   std::to_string(StartedPlugin::longestDuckMs)) +
           setting(keyOf(&EffectSettings::tunnelStaticEnabled), "1");
}

}  // namespace

StartedPlugin::StartedPlugin() : previousPluginDirectory(pluginDirectory.view()) {
    folder.write("Ostrelle.ini", settingsText());
    for (const PluginSound& sound : pluginSounds) {
        folder.write(std::string(soundFolderName) + '/' + sound.fileName, "mp3");
    }
    loadPluginAfresh(folder.path().string());
    callLogging = false;
    recordingBass::reset();

    testGame.frame();
}

StartedPlugin::~StartedPlugin() {
    shutDown();
    pluginDirectory.assign(previousPluginDirectory);
    callLogging = true;
}

bool StartedPlugin::ready() const {
    // The longest duck tells that our settings file was the one read.
    return controllerState.started && effectSettings.maxImpactMs == longestDuckMs &&
           std::ranges::all_of(soundBank.streams, [](HSTREAM stream) { return stream != 0; });
}
