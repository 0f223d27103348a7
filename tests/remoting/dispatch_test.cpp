#include "remoting/dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "binding/builtins.h"
#include "binding/host_value_conversion.h"
#include "formats/json_writer.h"
#include "formats/nesting_limit.h"
#include "remoting/function_registration.h"

namespace {

using Velto::ArgumentLocation;
using Velto::BindingProperty;
using Velto::HandlerResponse;
using Velto::HttpMethod;
using Velto::Client::HostArgument;
using Velto::Client::HostRequest;
using Velto::Client::HostResponse;
using Velto::Client::HostValue;

struct Filter {
    std::string name;
    std::vector<std::string> ids;
};

std::string Json(const BindingProperty& value) {
    return Velto::WriteJson(value);
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (std::size_t index = 0; index < texts.size(); ++index) {
        joined += (index == 0 ? "" : ",") + texts[index];
    }
    return joined;
}

// A stream that delivers one fixed text.
class TextStream final : public Velto::RemotingStream {
  public:
    uint8_t read(uint8_t* buffer, uint32_t* size, uint8_t* more) override {
        const uint32_t count = std::min<uint32_t>(*size, 5);
        std::memcpy(buffer, "hello", count);
        *size = count;
        *more = 0;
        return 1;
    }
    uint32_t length() override { return 5; }
};

HostValue Bool(bool flag) {
    HostValue value{};
    value.type = Velto::Client::kHostBool;
    value.payload.boolean = flag ? 1 : 0;
    return value;
}

HostValue Signed(int64_t number) {
    HostValue value{};
    value.type = Velto::Client::kHostSigned;
    value.payload.signedValue = number;
    return value;
}

// What one call answered.
struct Answer {
    uint32_t status = 0;
    std::string error;  // empty when the call succeeded
    std::string value;  // a text result as it is, any other result as JSON
};

// A call, as the host could make it.
struct Call {
    std::string function;  // the binding to call
    uint32_t method = 2;
    std::string path;
    std::vector<std::pair<const char*, const char*>> headers = {};
    std::vector<HostArgument> arguments = {};
    const char* contentType = nullptr;
    std::string body = {};
    bool hasBody = false;
};

class DispatchTest : public ::testing::Test {
  protected:
    DispatchTest() {
        Velto::RegisterBuiltins(registry_);
        registry_.RegisterStruct<Filter>("Filter")
            .Field<std::string>("name", offsetof(Filter, name))
            .Field<std::vector<std::string>>("ids", offsetof(Filter, ids));
        // A query reaches a function through a placeholder that takes it in: the whole path
        // text is matched, and the query is read from it besides.
        Bind("items",
             [](int32_t id, BindingProperty query, bool verbose, std::optional<int32_t> limit) {
                 return Velto::Format("id=%1 query=%2 verbose=%3 limit=%4", id, Json(query),
                                      verbose ? "true" : "false",
                                      limit ? std::to_string(*limit) : "none");
             },
             {"id", "query", "verbose", "limit"})
            .Route("/items/{id}/{+query}/")
            .Method(HttpMethod::Get)
            .Location("id", ArgumentLocation::Path)
            .Location("verbose", ArgumentLocation::Query);
        Bind("search",
             [](std::optional<Filter> filter, std::optional<std::vector<int32_t>> list,
                BindingProperty object, std::optional<std::string> text, bool flag,
                BindingProperty query) {
                 std::string numbers;
                 for (int32_t number : list.value_or(std::vector<int32_t>{})) {
                     numbers += std::to_string(number) + ";";
                 }
                 const Filter none;
                 return Velto::Format("filter=%1[%2] list=%3 object=%4 text=%5 flag=%6",
                                      filter.value_or(none).name, Joined(filter.value_or(none).ids),
                                      numbers, Json(object), text.value_or(""),
                                      flag ? "true" : "false") +
                        (query.IsZero() ? "" : " query");
             },
             {"filter", "list", "object", "text", "flag", "query"})
            .Route("search{+query}");
        Bind("upload",
             [](BindingProperty body, std::optional<std::string> tag) {
                 return Json(body) + " " + tag.value_or("-");
             },
             {"body", "tag"})
            .Route("/upload")
            .Method(HttpMethod::Post)
            .Location("body", ArgumentLocation::Body)
            .Location("tag", ArgumentLocation::Header);
        Bind("request",
             [](const Velto::HttpBaseTransport::Request& request, std::string q) {
                 const auto agent = request.headers.find("User-Agent");
                 return Velto::Format(
                     "%1 %2 %3 agent=%4 context=%5 q=%6", Velto::MethodName(request.method),
                     request.customMethod, request.path,
                     agent != request.headers.end() ? agent->second : "", request.callContext, q);
             },
             {"q"})
            .Route("/request/{q}");
        Bind("stream", [] {
            return std::unique_ptr<Velto::RemotingStream>(new TextStream);
        }).Route("/stream");
        Bind("teapot", [] {
            auto response = HandlerResponse<int32_t>::Failed(418, "I'm a teapot");
            response.headers["x-kind"] = "teapot";
            return response;
        }).CustomMethod("BREW");
        Bind("plain", [] { return true; });
    }

    template <class Callable>
    Velto::FunctionBuilder Bind(const char* name, Callable callable,
                                const std::vector<std::string>& names = {}) {
        return Velto::BindCallable(registry_, bindings_, name, std::move(callable), names);
    }

    HostRequest RequestFor(const Call& call, std::vector<const char*>& headerTexts) const {
        for (const auto& [name, value] : call.headers) {
            headerTexts.push_back(name);
            headerTexts.push_back(value);
        }
        HostRequest request{};
        request.method = call.method;
        request.path = call.path.c_str();
        request.arguments = const_cast<HostArgument*>(call.arguments.data());
        request.argumentCount = static_cast<int32_t>(call.arguments.size());
        request.headers = headerTexts.data();
        request.headerCount = static_cast<uint32_t>(call.headers.size());
        request.contentType = call.contentType;
        request.body = call.hasBody ? reinterpret_cast<const uint8_t*>(call.body.c_str()) : nullptr;
        request.bodySize = static_cast<uint32_t>(call.body.size());
        request.callContext = 77;
        request.customMethod = call.method == 8 ? "BREW" : nullptr;
        return request;
    }

    Answer Dispatch(const Call& call) {
        std::vector<const char*> headerTexts;
        const HostRequest request = RequestFor(call, headerTexts);
        return DispatchRequest(call.function, request);
    }

    Answer DispatchRequest(const std::string& function, const HostRequest& request) {
        const Velto::FunctionBinding* binding = bindings_.Find(*registry_.FindFunction(function));
        HostResponse response{};
        Velto::DispatchToBinding(&response, request, *binding);
        return Read(response);
    }

    static Answer Read(HostResponse& response) {
        Answer answer;
        answer.status = response.statusCode;
        if (response.errorFlag != 0) {
            answer.error = response.errorMessage;
        } else if (response.body.type == Velto::Client::kHostOwnedText) {
            answer.value = response.body.payload.text.data;
        } else {
            HostResponse status{};
            BindingProperty value;
            Velto::FromHostValue(status, value, response.body, "result");
            answer.value = Json(value);
        }
        response.release(&response);
        return answer;
    }

    Velto::BindingRegistry registry_;
    Velto::FunctionBindings bindings_;
};

std::string Bytes(std::initializer_list<uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(DispatchTest, BindsArgumentsFromEverySource) {
    const std::string nested = "search?filter" + std::string(Velto::kMaxNestingDepth, '.') + "x";
    const struct {
        const char* name;
        Call call;
        std::string value;
        std::string error = {};
    } cases[] = {
        {"path parameter and query flag",
         {"items", 2, "/items/5/?verbose"},
         "id=5 query=\"?verbose\" verbose=true limit=none"},
        {"absent bool is false",
         {"items", 2, "/items/5/x"},
         "id=5 query=\"x\" verbose=false limit=none"},
        {"a later query value wins",
         {"items", 2, "/items/5/?limit=3&limit=4"},
         "id=5 query=\"?limit=3&limit=4\" verbose=false limit=4"},
        {"query ending in ? binds nothing",
         {"items", 2, "/items/5/?"},
         "id=5 query=\"?\" verbose=false limit=none"},
        {"trailing & is an empty key",
         {"items", 2, "/items/5/?limit=3&"},
         "",
         "Unknown argument '' for 'items'."},
        {"empty value for int32",
         {"items", 2, "/items/5/?limit="},
         "",
         "Expected value for argument 'limit'."},
        {"path argument from the query",
         {"items", 2, "/items/5/?id=6"},
         "",
         "Argument 'id' for 'items' was specified in an invalid location."},
        {"query in a segment placeholder",
         {"items", 2, "/items/5?verbose/x"},
         "",
         "Unknown argument 'verbose/x' for 'items'."},
        {"wrong method", {"items", 6, "/items/5/"}, "", "Invalid function"},
        {"positional after the path parameters",
         {"items", 2, "/items/5/", {}, {{nullptr, Bool(true)}, {nullptr, Signed(9)}}},
         "id=5 query={} verbose=true limit=9"},
        {"positional beyond the arguments",
         {"items",
          2,
          "/items/5/",
          {},
          {{nullptr, Bool(true)}, {nullptr, Signed(9)}, {nullptr, Signed(1)}}},
         "",
         "Unknown argument '4' for 'items'."},
        {"named direct argument",
         {"items", 2, "/items/5/", {}, {{"limit", Signed(7)}}},
         "id=5 query={} verbose=false limit=7"},
        {"unknown named direct argument",
         {"items", 2, "/items/5/", {}, {{"nope", Signed(7)}}},
         "",
         "Unknown argument 'nope' for 'items'."},
        {"direct argument that does not convert",
         {"items", 2, "/items/5/", {}, {{"verbose", Signed(7)}}},
         "",
         "Couldn't assign value to 'verbose' of type bool because the input is of an invalid type "
         "signed."},
        {"function addressed by name", {"plain", 2, "plain"}, "true"},
        {"dotted keys build a record",
         {"search", 0, "search?filter.name=x&filter.ids.0=5&filter.ids.0x2=7"},
         "filter=x[5,,7] list= object= text= flag=false query"},
        {"octal index",
         {"search", 0, "search?filter.ids.010=1"},
         "filter=[,,,,,,,,1] list= object= text= flag=false query"},
        {"index with leftover characters",
         {"search", 0, "search?filter.ids.1x=1"},
         "",
         "Index 1x is in an incorrect format"},
        {"index too large",
         {"search", 0, "search?filter.ids.4294967296=1"},
         "",
         "Index 4294967296 is out of range"},
        {"index far beyond the request",
         {"search", 0, "search?filter.ids.60000000=1"},
         "",
         "Index 60000000 is out of range"},
        {"key nesting too deep", {"search", 0, nested}, "", Velto::kNestingTooDeepMessage},
        {"JSON detected for a record",
         {"search", 0, "search?filter=%7B%22name%22:%22j%22%7D"},
         "filter=j[] list= object= text= flag=false query"},
        {"JSON text stays text for a string",
         {"search", 0, "search?text=%7B%7D"},
         "filter=[] list= object= text={} flag=false query"},
        {"YAML detected for an object",
         {"search", 0, "search?object=---%0Aa: 1"},
         "filter=[] list= object={\"a\":1} text= flag=false query"},
        {"MessagePack detected for a vector",
         {"search", 0, "search?list=%92%01%02%C0"},
         "filter=[] list=1;2; object= text= flag=false query"},
        {"truncated MessagePack value",
         {"search", 0, "search?list=%92%01"},
         "",
         "Couldn't deserialize MessagePack value for parameter 'list' of 'search': Incomplete "
         "MessagePack data"},
        {"bad JSON value",
         {"search", 0, "search?object=%5B1"},
         "",
         "Couldn't deserialize JSON value for parameter 'object' of 'search': Error: Missing a "
         "comma or ']' after an array element. at offset 2."},
        {"empty value for a vector",
         {"search", 0, "search?list"},
         "filter=[] list= object= text= flag=false query"},
        {"header by lower-case name",
         {"search", 0, "search", {{"text", "from-header"}, {"Flag", "1"}}},
         "filter=[] list= object= text=from-header flag=false"},
        {"JSON body",
         {"upload",
          6,
          "/upload",
          {{"tag", "t"}},
          {},
          "application/json; charset=utf-8",
          R"({"a": [1, 2]})",
          true},
         R"({"a":[1,2]} t)"},
        {"YAML body",
         {"upload", 6, "/upload", {}, {}, "application/x-yaml", "a: b", true},
         R"({"a":"b"} -)"},
        {"MessagePack body",
         {"upload",
          6,
          "/upload",
          {},
          {},
          "application/x-msgpack",
          Bytes({0x81, 0xA1, 'a', 0x01}),
          true},
         R"({"a":1} -)"},
        {"MessagePack body with extra byte",
         {"upload",
          6,
          "/upload",
          {},
          {},
          "application/x-msgpack",
          Bytes({0x81, 0xA1, 'a', 0x01, 0x00}),
          true},
         "",
         "Extra MessgePack data found in body"},
        {"truncated MessagePack body",
         {"upload",
          6,
          "/upload",
          {},
          {},
          "application/x-msgpack",
          Bytes({0x82, 0xA1, 'a', 0x01}),
          true},
         "",
         "Incomplete MessagePack data in body"},
        {"text/x-yaml body",
         {"upload", 6, "/upload", {}, {}, "text/x-yaml", "a: b", true},
         "",
         "Unsupported body content type"},
        {"body that does not parse",
         {"upload", 6, "/upload", {}, {}, "application/json", "[", true},
         "",
         "Error: Invalid value. at offset 1."},
        {"no body", {"upload", 6, "/upload"}, " -"},
        {"transport request",
         {"request", 2, "/request/1", {{"User-Agent", "a"}, {"User-Agent", "b"}}},
         "GET  /request/1 agent=b context=77 q=1"},
        {"custom method", {"teapot", 8, "teapot"}, "", "I'm a teapot"},
        {"custom method required", {"teapot", 2, "teapot"}, "", "Invalid function"},
    };
    for (const auto& test : cases) {
        const Answer answer = Dispatch(test.call);
        EXPECT_EQ(answer.error, test.error) << test.name;
        EXPECT_EQ(answer.value, test.value) << test.name;
    }
}

TEST_F(DispatchTest, WritesStatusHeadersAndStreams) {
    std::vector<const char*> none;
    // The requests point into their calls, which must outlive them.
    const Call teapot{"teapot", 8, "teapot"};
    const Call stream{"stream", 2, "/stream"};
    const Call streamWithSlash{"stream", 2, "/stream/"};
    HostRequest request = RequestFor(teapot, none);
    HostResponse response{};
    Velto::DispatchToBinding(&response, request,
                             *bindings_.Find(*registry_.FindFunction("teapot")));
    EXPECT_EQ(uint32_t{response.statusCode}, 418u);  // packed: compare a copy
    ASSERT_EQ(uint32_t{response.headerCount}, 1u);
    EXPECT_STREQ(response.headers[0], "x-kind");
    response.release(&response);

    request = RequestFor(stream, none);
    Velto::DispatchToBinding(&response, request,
                             *bindings_.Find(*registry_.FindFunction("stream")));
    ASSERT_NE(static_cast<void*>(response.stream), nullptr);
    EXPECT_EQ(uint32_t{response.streamLengthLow}, 5u);
    uint8_t buffer[8] = {};
    uint32_t size = sizeof buffer;
    uint8_t more = 1;
    EXPECT_EQ(response.streamRead(response.stream, buffer, &size, &more), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), "hello");
    response.streamRelease(response.stream);
    response.release(&response);

    EXPECT_EQ(DispatchRequest("stream", RequestFor(streamWithSlash, none)).error,
              "Invalid function");
}

TEST_F(DispatchTest, HostileRequestsGetClearErrors) {
    HostRequest request{};
    request.method = 2;
    request.headerCount = 3;
    request.argumentCount = 2;
    request.bodySize = 10;
    EXPECT_EQ(DispatchRequest("items", request).error, "Invalid function") << "null path";
    request.path = "/items/1/";
    const char* headers[] = {nullptr, "x", "verbose", nullptr, "limit", "2"};
    request.headers = headers;
    const Answer answer = DispatchRequest("items", request);
    EXPECT_EQ(answer.error, "");
    EXPECT_EQ(answer.value, "id=1 query={} verbose=false limit=2");

    HostResponse response{};
    Velto::HandleHostCall(&response, &request);
    EXPECT_EQ(Read(response).error, "Invalid function") << "function context never handed out";
    Velto::HandleHostCall(&response, nullptr);
    EXPECT_EQ(Read(response).status, 404u);
    Velto::HandleHostCall(nullptr, &request);
}

TEST_F(DispatchTest, LongPathsAreSafe) {
    const std::string digits(1 << 20, '7');
    const Answer tooLong = Dispatch({"items", 2, "/items/" + digits + "/"});
    EXPECT_EQ(tooLong.error.substr(0, 12), "Value 777777") << "messages are cut, not lost";
    EXPECT_EQ(Dispatch({"search", 0, "search?" + std::string(1 << 20, '&')}).error,
              "Unknown argument '' for 'search'.");
}

TEST(FunctionRegistration, RefusesMismatchedArgumentNamesAndRebinding) {
    Velto::BindingRegistry registry;
    Velto::FunctionBindings bindings;
    const auto one = [](int32_t) { return 1; };
    EXPECT_TRUE(Velto::BindCallable(registry, bindings, "f", one, {}).Failed());
    const Velto::FunctionBuilder first = Velto::BindCallable(registry, bindings, "f", one, {"a"});
    ASSERT_FALSE(first.Failed());
    EXPECT_EQ(Velto::BindCallable(registry, bindings, "f", one, {"b"}).Binding(), first.Binding());
    EXPECT_TRUE(Velto::BindCallable(registry, bindings, "f", [] { return 1; }).Failed());
    EXPECT_TRUE(Velto::FunctionBuilder(first).Location("zz", ArgumentLocation::Body).Failed());
}

}  // namespace
