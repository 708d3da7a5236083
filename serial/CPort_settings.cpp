// The settings groups of the port: each setter stores its value and, when
// it changed, has the port apply its part at once.

#include "serial/CPort.h"

void TComParity::setBits(TParityBits v) { port_->setLineSetting(bits_, v); }

void TComParity::setCheck(bool v) { port_->setLineSetting(check_, v); }

void TComParity::setReplace(bool v) { port_->setLineSetting(replace_, v); }

void TComParity::setReplaceChar(char v) { port_->setLineSetting(replaceChar_, v); }

void TComParity::Assign(const TComParity &o)
{
    bits_ = o.bits_;
    check_ = o.check_;
    replace_ = o.replace_;
    replaceChar_ = o.replaceChar_;
    port_->ApplyLineSettings();
}

void TComFlowControl::setOutCTSFlow(bool v) { port_->setLineSetting(outCTSFlow_, v); }
void TComFlowControl::setOutDSRFlow(bool v) { port_->setLineSetting(outDSRFlow_, v); }
void TComFlowControl::setControlDTR(TDTRFlowControl v) { port_->setLineSetting(controlDTR_, v); }
void TComFlowControl::setControlRTS(TRTSFlowControl v) { port_->setLineSetting(controlRTS_, v); }
void TComFlowControl::setXonXoffOut(bool v) { port_->setLineSetting(xonXoffOut_, v); }
void TComFlowControl::setXonXoffIn(bool v) { port_->setLineSetting(xonXoffIn_, v); }
void TComFlowControl::setDSRSensitivity(bool v) { port_->setLineSetting(dsrSensitivity_, v); }
void TComFlowControl::setTxContinueOnXoff(bool v) { port_->setLineSetting(txContinueOnXoff_, v); }
void TComFlowControl::setXonChar(char v) { port_->setLineSetting(xonChar_, v); }
void TComFlowControl::setXoffChar(char v) { port_->setLineSetting(xoffChar_, v); }

TFlowControl TComFlowControl::FlowControl() const
{
    const bool xon = xonXoffIn_ || xonXoffOut_;
    const bool bothXon = xonXoffIn_ && xonXoffOut_;
    if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xon)
        return fcHardware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && bothXon)
        return fcSoftware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xon)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::setFlowControl(TFlowControl v)
{
    if (v != fcCustom) {
        controlRTS_ = rtsDisable;
        outCTSFlow_ = false;
        xonXoffIn_ = false;
        xonXoffOut_ = false;
        if (v == fcHardware) {
            controlRTS_ = rtsHandshake;
            outCTSFlow_ = true;
        } else if (v == fcSoftware) {
            xonXoffIn_ = true;
            xonXoffOut_ = true;
        }
    }
    port_->ApplyLineSettings();
}

void TComFlowControl::Assign(const TComFlowControl &o)
{
    outCTSFlow_ = o.outCTSFlow_;
    outDSRFlow_ = o.outDSRFlow_;
    controlDTR_ = o.controlDTR_;
    controlRTS_ = o.controlRTS_;
    xonXoffOut_ = o.xonXoffOut_;
    xonXoffIn_ = o.xonXoffIn_;
    dsrSensitivity_ = o.dsrSensitivity_;
    txContinueOnXoff_ = o.txContinueOnXoff_;
    xonChar_ = o.xonChar_;
    xoffChar_ = o.xoffChar_;
    port_->ApplyLineSettings();
}

void TComTimeouts::set(int &field, int v)
{
    if (v != field) {
        field = v;
        port_->ApplyTimeouts();
    }
}

void TComTimeouts::setReadInterval(int v) { set(readInterval_, v); }
void TComTimeouts::setReadTotalMultiplier(int v) { set(readTotalMultiplier_, v); }
void TComTimeouts::setReadTotalConstant(int v) { set(readTotalConstant_, v); }
void TComTimeouts::setWriteTotalMultiplier(int v) { set(writeTotalMultiplier_, v); }
void TComTimeouts::setWriteTotalConstant(int v) { set(writeTotalConstant_, v); }

void TComTimeouts::Assign(const TComTimeouts &o)
{
    readInterval_ = o.readInterval_;
    readTotalMultiplier_ = o.readTotalMultiplier_;
    readTotalConstant_ = o.readTotalConstant_;
    writeTotalMultiplier_ = o.writeTotalMultiplier_;
    writeTotalConstant_ = o.writeTotalConstant_;
    port_->ApplyTimeouts();
}

void TComBuffer::set(int &field, int v)
{
    if (v > 0 && v % 2 == 1)
        --v; // the driver wants even queue sizes
    if (v != field) {
        field = v;
        port_->ApplyBufferSizes();
    }
}

void TComBuffer::setInputSize(int v) { set(inputSize_, v); }
void TComBuffer::setOutputSize(int v) { set(outputSize_, v); }

void TComBuffer::Assign(const TComBuffer &o)
{
    inputSize_ = o.inputSize_;
    outputSize_ = o.outputSize_;
    port_->ApplyBufferSizes();
}

