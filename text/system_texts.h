// Every text the system shows or sends, in GBK. They are written once, in
// UTF-8, in system_texts.cpp, and converted on first use.
#pragma once

#include "text/text.h"

namespace tw {

struct SystemTexts {
  // Main window.
  Text windowTitle;      // Tarnwick
  Text about;            // 关于
  Text help;             // 帮助
  Text aboutNotice;      // one line shown in the About box
  Text helpMessage;      // the Help box's message
  Text ok;               // 确定
  Text confirm;          // 确认
  Text confirmOrCancel;  // 确认&&取消
  Text downloadButton;   // 选定下载
  Text cancelButton;     // 取消下载
  Text folderButton;     // 选择保存位置
  Text progressCaption;  // 进度：
  Text initialStatus;    // 0B/s    00:00:00    -
  // What screen readers call the controls that show no caption of their own.
  Text catalogListName;  // 系统镜像列表
  Text progressBarName;  // 下载进度
  Text saveFolderName;   // 保存位置

  // Catalog.
  Text columnImage;        // 系统镜像
  Text columnSize;         // 大小
  Text columnLink;         // 链接
  Text defaultFolderName;  // 下载的系统镜像

  // Download request and progress.
  Text askFileName;     // 请输入文件名：
  Text noFileName;      // 你还没输入文件名，无法继续
  Text checkFileName;   // 请您核对文件名：
  Text chooseFolder;    // 请选择一个文件夹
  Text downloadFailed;  // 下载失败
  Text downloadDone;    // 下载完成

  // Why a download failed, one sentence each, shown under the title 下载失败.
  Text failNoUrl, failUnreachable, failRefused, failGone, failBrokeOff, failNoRanges, failChanged,
      failWrite, failIncomplete, failBusy, failBadAnswer, failNotAFile;
  Text failNoSpaceBefore, failNoSpaceAfter;  // around the amount still needed
  Text failFatVolume;                        // a file of 4 GiB or more on a FAT volume
  // Who keeps the computer awake and why, as the system's list of sleep
  // inhibitors shows them during a download.
  Text inhibitWho, inhibitWhy;

  // Web access messages.
  Text error700, error701, error702, error703, error704, error705, error707, error708, error709,
      error710, error711, error712, error713;
  Text securityFlagsFailed;  // 忽略错误/证书错误  失败！

  // Script services.
  Text quoteMarker;    // #引号, stands for a double quote in patterns
  Text nodeSeparator;  // [2020年7月20日20时0分0秒]
};

const SystemTexts& Texts();

}  // namespace tw
