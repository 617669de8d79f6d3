// The live data window ("Echtzeit-Daten"): the engine's live grid plus the two spin
// edits that set the precision and decimals of every number text of the program.
#pragma once

#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "engine/model/live_grid.h"
#include "outputs/program_log.h"

namespace tarvedde {

class TFo_Echtdaten {
public:
    TFo_Echtdaten(Configuration& config, Host& host, ProgramLog& log, LiveGrid& grid);

    // Creation: reads the grid size and number format from the settings file.
    void FormCreate();
    void FormShow();
    void spPRChange(int value);
    void spNKChange(int value);
    // Writes the number format back to [Formate].
    void FormClose();

    int spPR = 12;  // "Genauigkeit", 8..18
    int spNK = 3;   // "Nachkommastellen", 0..10

private:
    Configuration& config_;
    Host& host_;
    ProgramLog& log_;
    LiveGrid& grid_;
};

}  // namespace tarvedde
