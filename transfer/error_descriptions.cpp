#include "transfer/error_descriptions.h"

namespace marlowin {

std::string describe_curl_error(CURLcode code) {
    switch (code) {
        case CURLE_URL_MALFORMAT:
            return "网址格式不正确";
        case CURLE_UNSUPPORTED_PROTOCOL:
            return "不支持的协议：只能检索 http:// 或 https:// 网址";
        case CURLE_COULDNT_RESOLVE_HOST:
            return "找不到服务器（无法解析域名）";
        case CURLE_COULDNT_CONNECT:
            return "无法连接到服务器（连接被拒绝）";
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
            return "无法解压服务器发送的内容";
        case CURLE_WEIRD_SERVER_REPLY:
            return std::string(kNotHttpReply);
        case CURLE_OUT_OF_MEMORY:
            return "内存不足";
        case CURLE_FAILED_INIT:
            return "网络组件初始化失败";
        case CURLE_ABORTED_BY_CALLBACK:
        case CURLE_WRITE_ERROR:
            return "传输被中止";
        case CURLE_LOGIN_DENIED:
        case CURLE_REMOTE_ACCESS_DENIED:
            return "服务器拒绝了登录";
        default:
            return "网络传输出错";
    }
}

std::string describe_http_status(long status) {
    std::string_view meaning;
    switch (status) {
        case 400:
            meaning = "请求有误";
            break;
        case 401:
            meaning = "需要身份验证";
            break;
        case 403:
            meaning = "禁止访问";
            break;
        case 404:
            meaning = "未找到";
            break;
        case 405:
            meaning = "不允许的请求方法";
            break;
        case 406:
            meaning = "无法接受";
            break;
        case 407:
            meaning = "需要代理身份验证";
            break;
        case 408:
            meaning = "请求超时";
            break;
        case 409:
            meaning = "冲突";
            break;
        case 410:
            meaning = "已永久删除";
            break;
        case 413:
            meaning = "请求内容太大";
            break;
        case 414:
            meaning = "网址太长";
            break;
        case 415:
            meaning = "不支持的媒体类型";
            break;
        case 429:
            meaning = "请求过多";
            break;
        case 451:
            meaning = "因法律原因不可用";
            break;
        case 500:
            meaning = "服务器内部错误";
            break;
        case 501:
            meaning = "服务器不支持此功能";
            break;
        case 502:
            meaning = "网关错误";
            break;
        case 503:
            meaning = "服务暂时不可用";
            break;
        case 504:
            meaning = "网关超时";
            break;
        case 505:
            meaning = "不支持的 HTTP 版本";
            break;
        default:
            meaning = (status >= 400 && status < 500) ? "请求错误" : "服务器错误";
            break;
    }
    return "服务器返回 " + std::to_string(status) + "（" + std::string(meaning) + "）";
}

std::string describe_proxy_error(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_PROXY:
            return "找不到代理服务器（无法解析代理服务器的域名）";
        case CURLE_COULDNT_CONNECT:
            return "无法连接到代理服务器（代理服务器没有运行或拒绝连接）";
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            return "代理服务器的安全证书无法验证";
        case CURLE_SSL_CONNECT_ERROR:
            return "无法与代理服务器建立安全连接（TLS 握手失败）";
        default:
            return "代理服务器出错";
    }
}

std::string describe_proxy_refusal(long status) {
    if (status == 407) {
        return "代理服务器要求登录（407）";
    }
    return "代理服务器拒绝了连接（状态 " + std::to_string(status) + "）";
}

}  // namespace marlowin
