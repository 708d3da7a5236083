#pragma once

// The texts of the settings page's derived labels, from plain values.

#include <QColor>
#include <QString>

// What the charger will make of one current.
struct CurrentCheck
{
    QString text;     // "Ток факт. = ... A     U на R = ...     Значение ADC - ..."
    bool zero;        // the charger would receive 0
    bool limited;     // more units than its field holds: the field's maximum goes
};

// `bits` is the width of the current's field in the parameter block.
CurrentCheck checkCurrent(int milliamps, int senseR, quint16 step, int bits);
QString adcStepText(quint16 step);      // Label34
QString senseResistorText(double r);    // Label8, r in 1/100 Ohm
QString dischargeResistorText(int rd);  // LabRdecharge, rd in 1/10 Ohm
QString temperatureRiseText(int rise);  // Label24, rise in 1/10 degree a minute
