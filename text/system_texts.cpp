#include "text/system_texts.h"

#include "text/convert.h"

namespace tw {

namespace {

SystemTexts Build() {
  const auto g = [](std::string_view utf8) { return Utf8ToGbk(utf8); };
  SystemTexts t;
  t.windowTitle = "Tarnwick";
  t.about = g("关于");
  t.help = g("帮助");
  t.aboutNotice = g("Tarnwick 系统镜像下载工具，免费使用。");
  // clang-format off
  t.helpMessage = g(
      "本工具使用天翼云直链获取系统镜像文件，然后下载，用的是MSDN我告诉你的系统镜像。下载帮助：例如：输入，"
      "win10 2004 64  点击确认就可以下载了，你得先保存下载位置，能保存到桌面就桌面，建议保存到桌面，因为这样"
      "好安装，好找。或者你在桌面上新建文件夹也可以，没有什么BUG就不修复更新了，因为没有检测更新功能，有问题请"
      "加QQ或发邮箱，本工具永久免费，谢谢使用。");
  // clang-format on
  t.ok = g("确定");
  t.confirm = g("确认");
  t.confirmOrCancel = g("确认&&取消");
  t.downloadButton = g("选定下载");
  t.cancelButton = g("取消下载");
  t.folderButton = g("选择保存位置");
  t.progressCaption = g("进度：");
  t.initialStatus = "0B/s    00:00:00    -";
  t.catalogListName = g("系统镜像列表");
  t.progressBarName = g("下载进度");
  t.saveFolderName = g("保存位置");

  t.columnImage = g("系统镜像");
  t.columnSize = g("大小");
  t.columnLink = g("链接");
  t.defaultFolderName = g("下载的系统镜像");

  t.askFileName = g("请输入文件名：");
  t.noFileName = g("你还没输入文件名，无法继续");
  t.checkFileName = g("请您核对文件名：");
  t.chooseFolder = g("请选择一个文件夹");
  t.downloadFailed = g("下载失败");
  t.downloadDone = g("下载完成");

  t.failNoUrl = g("无法解析分享链接。");
  t.failUnreachable = g("无法连接服务器。");
  t.failRefused = g("服务器拒绝了下载请求。");
  t.failGone = g("服务器已不再提供此文件。");
  t.failBrokeOff = g("连接中断，5次续传均未成功。");
  t.failNoRanges = g("连接中断，服务器不支持续传。");
  t.failChanged = g("服务器上的文件已改变，无法续传。");
  t.failWrite = g("无法写入文件。");
  t.failIncomplete = g("收到的数据不完整。");
  t.failBusy = g("服务器繁忙，请稍后再试。");
  t.failBadAnswer = g("服务器返回的数据无法用作文件。");
  t.failNotAFile = g("临时文件不是普通文件，无法写入。");
  t.failNoSpaceBefore = g("磁盘空间不足，需要 ");
  t.failNoSpaceAfter = g(" 可用空间。");
  t.failFatVolume = g("目标磁盘是 FAT 格式，无法保存 4GB 及以上的文件。");
  t.inhibitWho = "Tarnwick";
  t.inhibitWhy = g("正在下载系统镜像");

  t.error700 = g("700 当前系统不支持WinHttp服务!");
  t.error701 = g("701 解析URL地址失败!");
  t.error702 = g("702 创建WinHttp会话失败!");
  t.error703 = g("703 创建WinHttp连接失败!");
  t.error704 = g("704 创建WinHttp请求失败!");
  t.error705 = g("705 设置超时时间失败!");
  t.error707 = g("707 设置代理凭证失败!");
  t.error708 = g("708 禁止自动设置Cookies失败!");
  t.error709 = g("709 重定向设置失败!");
  t.error710 = g("710 设置协议头失败!");
  t.error711 = g("711 发送请求失败!");
  t.error712 = g("712 服务器未响应!");
  t.error713 = g("713 读取数据失败!");
  t.securityFlagsFailed = g("忽略错误/证书错误  失败！");

  t.quoteMarker = g("#引号");
  t.nodeSeparator = g("[2020年7月20日20时0分0秒]");
  return t;
}

}  // namespace

const SystemTexts& Texts() {
  static const SystemTexts texts = Build();
  return texts;
}

}  // namespace tw
