#include "HidCtrl.h"

#include "HidUtil.h"

#include <cstring>

HidCtrl::HidCtrl() : m_pHandler(nullptr), m_pHidUtil(nullptr), m_bConnected(0), m_version(0), m_data(), m_dataLen(0) {}

HidCtrl::~HidCtrl() { finalize(); }

int HidCtrl::initialize(HidHandler* handler, int deviceType)
{
    m_pHandler = handler;
    m_pHidUtil = new HidUtil();
    m_bConnected = 0;
    std::memset(m_data, 0, sizeof(m_data));

    if (!m_pHidUtil->initialize(this, deviceType))
    {
        m_pHandler = nullptr;
        m_pHidUtil->finalize();
        delete m_pHidUtil;
        m_pHidUtil = nullptr;
        m_bConnected = 0;
        return 0;
    }

    m_bConnected = m_pHidUtil->deviceMatching() ? 1 : 0;
    if (m_bConnected != 0)
    {
        m_version = static_cast<int>(m_pHidUtil->deviceVersion());
        m_dataLen = sizeof(m_data);
    }
    return m_bConnected;
}

bool HidCtrl::sendData(unsigned char* pdata, unsigned long length)
{
    // After finalize the cache still says connected, but there is no holder any more.
    if (m_bConnected == 0 || m_pHidUtil == nullptr)
        return false;
    return m_pHidUtil->deviceOutput(pdata, length);
}

void HidCtrl::finalize()
{
    m_pHandler = nullptr;
    if (m_pHidUtil != nullptr)
    {
        m_pHidUtil->finalize();
        delete m_pHidUtil;
        m_pHidUtil = nullptr;
    }
}

void HidCtrl::removalCallBack()
{
    m_bConnected = 0;
    m_version = 0;
    std::memset(m_data, 0, sizeof(m_data));
    m_dataLen = 0;
    if (m_pHandler != nullptr)
        m_pHandler->removalCallBack();
}

void HidCtrl::matchingCallBack()
{
    m_bConnected = 1;
    m_version = static_cast<int>(m_pHidUtil->deviceVersion());
    m_dataLen = m_pHidUtil->deviceInput(m_data, sizeof(m_data), 0);
    if (m_pHandler != nullptr)
        m_pHandler->matchingCallBack();
}

void HidCtrl::inputCallBack(int)
{
    unsigned char report[64];
    const unsigned long n = m_pHidUtil->deviceInput(report, sizeof(report), 0);
    if (n == 0)
        return;

    std::memcpy(m_data, report, n);
    m_dataLen = n;
    if (m_pHandler != nullptr)
        m_pHandler->inputCallBack(0);
}
