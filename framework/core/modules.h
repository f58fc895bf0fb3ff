// Registration functions of the framework's component modules, in the order of the built-in
// component table. Each adds its module's classes to a registry.
#pragma once

#include "framework/core/com.h"

class IVkRegistry;

// General modules.
VkResult VkDictionaryModuleRegister(IVkRegistry* registry);
VkResult VkFileModuleRegister(IVkRegistry* registry);
VkResult VkHttpModuleRegister(IVkRegistry* registry);
VkResult VkStdInputModuleRegister(IVkRegistry* registry);
VkResult VkPropModuleRegister(IVkRegistry* registry);
VkResult VkTerminalModuleRegister(IVkRegistry* registry);
VkResult VkArchiveModuleRegister(IVkRegistry* registry);
VkResult VkDownloaderModuleRegister(IVkRegistry* registry);
VkResult VkArchiveStorageModuleRegister(IVkRegistry* registry);
VkResult VkListModuleRegister(IVkRegistry* registry);
VkResult VkUrlModuleRegister(IVkRegistry* registry);
VkResult VkStreamsModuleRegister(IVkRegistry* registry);
VkResult VkSyncStreamModuleRegister(IVkRegistry* registry);
VkResult VkMathsModuleRegister(IVkRegistry* registry);
VkResult VkMemoryModuleRegister(IVkRegistry* registry);
VkResult VkStorageModuleRegister(IVkRegistry* registry);
VkResult VkCpuIdModuleRegister(IVkRegistry* registry);
VkResult VkWinOSModuleRegister(IVkRegistry* registry);
VkResult VkTcpModuleRegister(IVkRegistry* registry);

// Media modules.
VkResult VkDictTypeSoundModuleRegister(IVkRegistry* registry);
VkResult VkNullSoundModuleRegister(IVkRegistry* registry);
VkResult VkNullTransportModuleRegister(IVkRegistry* registry);
VkResult VkNetworkModuleRegister(IVkRegistry* registry);
VkResult VkStreamedSoundModuleRegister(IVkRegistry* registry);
VkResult VkInputModuleRegister(IVkRegistry* registry);
VkResult VkSoundProcModuleRegister(IVkRegistry* registry);
VkResult VkSoundRWWavModuleRegister(IVkRegistry* registry);
VkResult VkCdAudioModuleRegister(IVkRegistry* registry);
VkResult VkDx5TransportModuleRegister(IVkRegistry* registry);
VkResult VkDx6TransportModuleRegister(IVkRegistry* registry);
VkResult VkDxSoundControlModuleRegister(IVkRegistry* registry);
