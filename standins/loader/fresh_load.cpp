#include "standins/loader/fresh_load.h"

#include "common/next_random.h"
#include "common/plugin_directory.h"
#include "config/settings.h"
#include "controller/controller.h"
#include "sound/sound_player.h"

void loadPluginAfresh(const std::string& pluginFolder) {
    controllerState = ControllerState{};
    effectSettings = EffectSettings{};
    soundBank = SoundBank{};
    randomState = 1;
    settingsPath.clear();
    pluginDirectory.assign(pluginFolder);
}
