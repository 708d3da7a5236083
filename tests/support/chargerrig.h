#pragma once

// A simulated charger on a pseudo-terminal, started, and a main window whose
// port points at it: at the options' link when they name one, else at the
// pseudo-terminal itself. A test takes it apart: auto &[sim, w] = rig;

#include "app/TfmMain.h"
#include "serial/CPort.h"
#include "tools/chargesim/chargesim.h"

template <typename Window = TfmMain>
struct ChargerRig
{
    chargesim::Simulator sim;
    Window w;

    explicit ChargerRig(const chargesim::Options &options) : sim(options)
    {
        sim.start();
        w.ComPort1->setPort(QString::fromStdString(options.link.empty() ? sim.slavePath() : options.link));
    }
};
