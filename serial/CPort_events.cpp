// Links and the handling of delivered line events, in their fixed order.

#include "serial/CPort.h"

#include <algorithm>
#include <vector>

void TCustomComPort::AttachLink(TComLink *link)
{
    if (!link || std::find(links_.begin(), links_.end(), link) != links_.end())
        throw EComPort(ComError::LinkRegistration);
    links_.push_back(link);
    hasBufferLink_ = std::any_of(links_.begin(), links_.end(),
                                 [](TComLink *l) { return bool(l->OnRxBuf); });
}

void TCustomComPort::DetachLink(TComLink *link)
{
    const auto it = std::find(links_.begin(), links_.end(), link);
    if (it == links_.end())
        throw EComPort(ComError::LinkRegistration);
    links_.erase(it);
    hasBufferLink_ = std::any_of(links_.begin(), links_.end(),
                                 [](TComLink *l) { return bool(l->OnRxBuf); });
}

// ------------------------------------------------------ event handling

void TCustomComPort::handleEvents(TComEvents events)
{
    if (events.contains(evError)) {
        const TComErrors errors = TakeLineErrors();
        if (!errors.empty())
            DoError(errors);
    }
    if (events.contains(evRxChar)) {
        int count = QueuedInputCount();
        if (count > 0)
            signalLinks(&TComLink::OnRx, true);
        if (count > 0 && !(rxCharEnabled_ && !hasBufferLink_)) {
            std::vector<char> buffer;
            bool read = false;
            auto readOnce = [&] {
                if (read)
                    return;
                buffer.resize(static_cast<size_t>(count));
                Read(buffer.data(), count);
                DoRxBuf(buffer.data(), count);
                read = true;
            };
            forEachLink([&](TComLink &l) {
                if (l.OnRxBuf) {
                    readOnce();
                    l.OnRxBuf(this, buffer.data(), count);
                }
            });
            if (!read && !rxCharEnabled_)
                readOnce();
            if (read)
                count = 0;
        }
        if (count > 0)
            DoRxChar(count);
    }
    if (events.contains(evTxEmpty)) {
        signalLinks(&TComLink::OnTx, false);
        signalLinks(&TComLink::OnTxEmpty);
        DoTxEmpty();
    }
    if (events.contains(evBreak))
        DoBreak();
    if (events.contains(evRing)) {
        signalLinks(&TComLink::OnRing);
        DoRing();
    }
    if (events.contains(evCTS)) {
        const bool on = LineSignals().contains(csCTS);
        signalLinks(&TComLink::OnCTSChange, on);
        DoCTSChange(on);
    }
    if (events.contains(evDSR)) {
        const bool on = LineSignals().contains(csDSR);
        signalLinks(&TComLink::OnDSRChange, on);
        DoDSRChange(on);
    }
    if (events.contains(evRxFlag)) {
        signalLinks(&TComLink::OnRxFlag);
        DoRxFlag();
    }
    if (events.contains(evRLSD)) {
        const bool on = LineSignals().contains(csRLSD);
        signalLinks(&TComLink::OnRLSDChange, on);
        DoRLSDChange(on);
    }
    if (events.contains(evRx80Full))
        DoRx80Full();
}

void TCustomComPort::reportLineSignals()
{
    handleEvents({evCTS, evDSR, evRLSD});
}

void TCustomComPort::DoAfterOpen() { if (OnAfterOpen) OnAfterOpen(this); }
void TCustomComPort::DoAfterClose() { if (OnAfterClose) OnAfterClose(this); }
void TCustomComPort::DoBeforeOpen() { if (OnBeforeOpen) OnBeforeOpen(this); }
void TCustomComPort::DoBeforeClose() { if (OnBeforeClose) OnBeforeClose(this); }
void TCustomComPort::DoRxChar(int count) { if (OnRxChar) OnRxChar(this, count); }
void TCustomComPort::DoRxBuf(const char *b, int n) { if (OnRxBuf) OnRxBuf(this, b, n); }
void TCustomComPort::DoTxEmpty() { if (OnTxEmpty) OnTxEmpty(this); }
void TCustomComPort::DoBreak() { if (OnBreak) OnBreak(this); }
void TCustomComPort::DoRing() { if (OnRing) OnRing(this); }
void TCustomComPort::DoCTSChange(bool on) { if (OnCTSChange) OnCTSChange(this, on); }
void TCustomComPort::DoDSRChange(bool on) { if (OnDSRChange) OnDSRChange(this, on); }
void TCustomComPort::DoRLSDChange(bool on) { if (OnRLSDChange) OnRLSDChange(this, on); }
void TCustomComPort::DoRxFlag() { if (OnRxFlag) OnRxFlag(this); }
void TCustomComPort::DoError(TComErrors errors) { if (OnError) OnError(this, errors); }
void TCustomComPort::DoRx80Full() { if (OnRx80Full) OnRx80Full(this); }
