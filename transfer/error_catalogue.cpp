#include "transfer/error_catalogue.h"

#include <string_view>

#include "workflow/transfer_error.h"

namespace marlowin {

namespace {

std::string_view status_meaning(long status) {
    switch (status) {
        case 400:
            return "请求有误";
        case 401:
            return "需要身份验证";
        case 403:
            return "禁止访问";
        case 404:
            return "未找到";
        case 405:
            return "不允许的请求方法";
        case 406:
            return "无法接受";
        case 407:
            return "需要代理身份验证";
        case 408:
            return "请求超时";
        case 409:
            return "冲突";
        case 410:
            return "已永久删除";
        case 413:
            return "请求内容太大";
        case 414:
            return "网址太长";
        case 415:
            return "不支持的媒体类型";
        case 429:
            return "请求过多";
        case 451:
            return "因法律原因不可用";
        case 500:
            return "服务器内部错误";
        case 501:
            return "服务器不支持此功能";
        case 502:
            return "网关错误";
        case 503:
            return "服务暂时不可用";
        case 504:
            return "网关超时";
        case 505:
            return "不支持的 HTTP 版本";
        default:
            return status < 500 ? "请求错误" : "服务器错误";
    }
}

}  // namespace

std::string describe_curl_error(CURLcode code) {
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL:
            return "不支持的协议：只能检索 http:// 或 https:// 网址";
        case CURLE_FAILED_INIT:
            return "网络组件初始化失败";
        case CURLE_URL_MALFORMAT:
            return "网址格式不正确";
        case CURLE_COULDNT_RESOLVE_PROXY:
            return "找不到代理服务器（无法解析代理服务器的域名）";
        case CURLE_COULDNT_RESOLVE_HOST:
            return "找不到服务器（无法解析域名）";
        case CURLE_COULDNT_CONNECT:
            return "无法连接到服务器（连接被拒绝）";
        case CURLE_WEIRD_SERVER_REPLY:
            return "服务器的回应不是有效的 HTTP";
        case CURLE_OPERATION_TIMEDOUT:
            return "连接超时";
        case CURLE_SSL_CONNECT_ERROR:
            return "无法建立安全连接（TLS 握手失败）";
        case CURLE_PEER_FAILED_VERIFICATION:
            return "服务器的安全证书无法验证";
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CRL_BADFILE:
            return "安全证书出错";
        case CURLE_TOO_MANY_REDIRECTS:
            return "重定向次数过多";
        case CURLE_FILESIZE_EXCEEDED:
            return "文档太大，已拒绝接收";
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return "连接在传输中断开";
        case CURLE_BAD_CONTENT_ENCODING:
            return "网页的压缩数据不完整或已损坏";
        case CURLE_OUT_OF_MEMORY:
            return "内存不足";
        case CURLE_ABORTED_BY_CALLBACK:
        case CURLE_WRITE_ERROR:
            return "传输被中止";
        case CURLE_LOGIN_DENIED:
        case CURLE_REMOTE_ACCESS_DENIED:
            return "服务器拒绝了登录";
        case CURLE_PROXY:
            return "代理服务器握手出错";
        default:
            return "网络传输出错";
    }
}

std::string describe_http_status(long status) {
    return "服务器返回 " + std::to_string(status) + "（" + std::string(status_meaning(status)) +
           "）";
}

std::string describe_failure(Failure failure, std::size_t cap) {
    switch (failure) {
        case Failure::HeadersTooLong:
            return "服务器发送的响应头过长，已停止接收";
        case Failure::ConflictingLengths:
            return "服务器声明的内容长度前后矛盾，已拒绝接收";
        case Failure::SwitchedProtocols:
            return "服务器改用了其他协议，回应的不是网页";
        case Failure::TwoLocations:
            return "服务器的重定向同时指向了几个地址，已拒绝跟随";
        case Failure::CannotDecode:
            return "无法把网页的字节转换为文字";
        case Failure::TooLarge:
            return "文档太大（超过 " + std::to_string(cap >> 20) + " MiB），已拒绝接收";
        case Failure::AddressTooLong:
            return "网址太长（超过 100 万个字符），无法发送";
        case Failure::Silence:
            return "服务器响应超时（长时间没有收到数据）";
        case Failure::ProxyUnreachable:
            return "无法连接到代理服务器（代理服务器没有运行或拒绝连接）";
        case Failure::ProxyCertificate:
            return "代理服务器的安全证书无法验证";
        case Failure::ProxyHandshake:
            return "无法与代理服务器建立安全连接（TLS 握手失败）";
        case Failure::ProxyKindUnsupported:
            return "不支持这种代理服务器：只能使用 HTTP、HTTPS 或 SOCKS 代理";
        case Failure::ProxySettingMalformed:
            return "代理服务器的设置格式不正确";
        case Failure::ProxyClosed:
            return "代理服务器没有回应就断开了连接";
        case Failure::ProxyNotHttp:
            return "代理服务器的回应不是有效的 HTTP";
        case Failure::ProxyTimeout:
            return "连接代理服务器超时";
    }
    return {};
}

std::string describe_proxy_refusal(long status) {
    if (status == 407) {
        return "代理服务器要求登录（407）";
    }
    return "代理服务器拒绝了连接（状态 " + std::to_string(status) + "）";
}

std::string describe_number(int number, std::size_t cap) {
    if (number > 0 && number < CURL_LAST) {
        return describe_curl_error(static_cast<CURLcode>(number));
    }
    if (number >= 400 && number < 600) {
        return describe_http_status(number);
    }
    for (const Failure failure : kFailures) {
        if (static_cast<int>(failure) == number) {
            return describe_failure(failure, cap);
        }
    }
    if (number >= kProxyRefusalBase + 300 && number < kProxyRefusalBase + 600) {
        return describe_proxy_refusal(number - kProxyRefusalBase);
    }
    return {};
}

void fail_curl(CURLcode code, std::string detail) {
    throw TransferError(code, describe_curl_error(code), std::move(detail));
}

void fail_status(long status, std::string detail) {
    throw TransferError(static_cast<int>(status), describe_http_status(status), std::move(detail));
}

void fail(Failure failure, std::string detail, std::size_t cap) {
    throw TransferError(static_cast<int>(failure), describe_failure(failure, cap),
                        std::move(detail));
}

void fail_proxy_refusal(long status, std::string detail) {
    throw TransferError(kProxyRefusalBase + static_cast<int>(status),
                        describe_proxy_refusal(status), std::move(detail));
}

}  // namespace marlowin
